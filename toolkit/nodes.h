// Nodes: the node collection of a TreeView.
//
// Positions count from 1 in the order the nodes were added (not their place
// in the tree); removing a node shifts the later positions down. Keys are
// unique and compare exactly: letter case counts, so callers that want keys
// to match without regard to case write them in one case. Look-ups by key are
// O(1); by position, and Index, at worst O(log n).
//
// Errors, as AutomationError:
//   35600 "Index out of bounds"            a position that is not in the collection
//   35601 "Element not found"              a key that is not in the collection
//   35602 "Key is not unique in collection"
//   35603 "Invalid key"                    a key that is not a text
//       5 "Invalid procedure call or argument"   a relationship outside 0..4
// A failed Add or Remove changes nothing.
#ifndef QVR_TOOLKIT_NODES_H_
#define QVR_TOOLKIT_NODES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "toolkit/internal/child_list.h"
#include "toolkit/node.h"
#include "toolkit/toolkit_constants.h"
#include "automation/variant.h"

namespace qvr::toolkit {

class TreeView;

class Nodes {
 public:
  explicit Nodes(TreeView& tree);
  ~Nodes();
  Nodes(const Nodes&) = delete;
  Nodes& operator=(const Nodes&) = delete;

  int32_t Count() const { return order_.Size(); }

  // Adds a node and returns it. `Relative` names an existing node by key (a
  // text) or by position (a number); left Empty, the node goes to the top
  // level: first for tvwFirst, last otherwise. `Relationship` (default
  // tvwNext) places it relative to that node: tvwFirst/tvwLast first or last
  // among the relative's siblings, tvwNext/tvwPrevious right after or before
  // it, tvwChild as its last child. `Key` Empty or "" adds the node without a
  // key. `Image` and `SelectedImage` are image keys (a number names an image
  // of the tree's image list by position). Appending is O(1); placing a node
  // before existing siblings is O(siblings).
  //
  // This is the form for late binding; it converts its arguments and calls
  // the typed form below, so both place nodes alike.
  NodePtr Add(const Variant& Relative = Variant(), const Variant& Relationship = Variant(),
              const Variant& Key = Variant(), const Variant& Text = Variant(),
              const Variant& Image = Variant(), const Variant& SelectedImage = Variant());

  // The typed forms, for C++ callers: the relative named by its key, or given
  // as a node of this tree (null: the top level, as an Empty `Relative`
  // above). `Key` "" adds the node without a key; `Image` and `SelectedImage`
  // are image keys ("" for none). Errors as above; a node of another tree (or
  // one removed) as `Relative` raises 35601.
  NodePtr Add(std::string_view Relative, TreeRelationshipConstants Relationship, std::string Key,
              std::string Text, std::string_view Image = {}, std::string_view SelectedImage = {});
  NodePtr Add(const NodePtr& Relative, TreeRelationshipConstants Relationship, std::string Key,
              std::string Text, std::string_view Image = {}, std::string_view SelectedImage = {});

  // The node at a 1-based position or under a key (see the errors above).
  NodePtr Item(int32_t Index) const;
  NodePtr Item(std::string_view Key) const;
  NodePtr Item(const char* Key) const { return Item(std::string_view(Key)); }
  NodePtr Item(const std::string& Key) const { return Item(std::string_view(Key)); }
  NodePtr Item(const Variant& IndexOrKey) const;

  // The node under a key, or null; never raises.
  NodePtr Find(std::string_view Key) const;
  bool Exists(std::string_view Key) const { return by_key_.Find(Key) != nullptr; }

  // Removes a node and all its descendants. O(size of the subtree x log n).
  void Remove(int32_t Index);
  void Remove(std::string_view Key);
  void Remove(const char* Key) { Remove(std::string_view(Key)); }
  void Remove(const std::string& Key) { Remove(std::string_view(Key)); }
  void Remove(const Variant& IndexOrKey);
  void Remove(const NodePtr& node);

  // Removes every node.
  void Clear();

  // The 1-based position of a node of this collection.
  int32_t IndexOf(const Node& node) const { return order_.PositionOf(&node) + 1; }

  // Visits the nodes in the order of adding; `fn` must not add or remove.
  template <class Fn>
  void ForEach(Fn fn) const {
    order_.ForEach([&](Node* n) { fn(*n); });
  }

  // The top-level nodes, for views.
  int32_t TopLevelCount() const { return roots_.Size(); }
  NodePtr TopLevelAt(int32_t row) const;

 private:
  friend class Node;
  friend class TreeView;

  internal::ChildList& ListOf(Node* parent);
  const internal::ChildList* SiblingsOf(const Node* parent) const;
  NodePtr Resolve(const Variant& relative) const;
  std::string ImageKey(const Variant& image) const;
  // Raises 35602 when `key` is taken ("" never is).
  void CheckNewKey(std::string_view key) const;
  void RemoveNode(Node* node);

  TreeView& tree_;
  internal::ChildList roots_;
  internal::AddingOrder order_;
  internal::NodeKeyIndex by_key_;  // nodes that have a key
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_NODES_H_
