// The children of a node (or the top-level nodes of a tree) in sibling order,
// the node collection's order of adding, as OrderedSlots over nodes, and the
// index of nodes by key.
#ifndef QVR_TOOLKIT_INTERNAL_CHILD_LIST_H_
#define QVR_TOOLKIT_INTERNAL_CHILD_LIST_H_

#include <string_view>

#include "toolkit/internal/key_index.h"
#include "toolkit/internal/ordered_slots.h"
#include "toolkit/node.h"

namespace qvr::toolkit::internal {

struct ChildSlot {
  static int32_t& Of(Node* n) { return n->slot_; }
  static int32_t Of(const Node* n) { return n->slot_; }
};
struct OrderSlot {
  static int32_t& Of(Node* n) { return n->seq_; }
  static int32_t Of(const Node* n) { return n->seq_; }
};

struct NodeKey {
  static std::string_view Of(const Node* n) { return n->key_; }
};

struct ChildList : OrderedSlots<Node, ChildSlot> {};
using NodeKeyIndex = KeyIndex<Node, NodeKey>;
using AddingOrder = OrderedSlots<Node, OrderSlot>;

}  // namespace qvr::toolkit::internal

#endif  // QVR_TOOLKIT_INTERNAL_CHILD_LIST_H_
