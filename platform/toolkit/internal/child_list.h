// The children of a node (or the top-level nodes of a tree) in sibling order,
// and the node collection's order of adding, as OrderedSlots over nodes.
#ifndef QVR_PLATFORM_TOOLKIT_INTERNAL_CHILD_LIST_H_
#define QVR_PLATFORM_TOOLKIT_INTERNAL_CHILD_LIST_H_

#include "platform/toolkit/internal/ordered_slots.h"
#include "platform/toolkit/node.h"

namespace qvr::toolkit::internal {

struct ChildSlot {
  static int32_t& Of(Node* n) { return n->slot_; }
  static int32_t Of(const Node* n) { return n->slot_; }
};
struct OrderSlot {
  static int32_t& Of(Node* n) { return n->seq_; }
  static int32_t Of(const Node* n) { return n->seq_; }
};

struct ChildList : OrderedSlots<Node, ChildSlot> {};
using AddingOrder = OrderedSlots<Node, OrderSlot>;

}  // namespace qvr::toolkit::internal

#endif  // QVR_PLATFORM_TOOLKIT_INTERNAL_CHILD_LIST_H_
