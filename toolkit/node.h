// Node: one node of a TreeView.
//
// Nodes are made by Nodes::Add and handed out as shared pointers; a null
// pointer stands for "no node" (Nothing). A node removed from its tree (by
// Nodes::Remove, by the removal of an ancestor, or by Nodes::Clear) stays
// valid for whoever still holds it, but it belongs to no tree any more: it
// keeps its key, text and images, has no parent, children or siblings, its
// Index raises 35605 ("Control has been deleted"), writes of Expanded and
// Checked only store the value, and Selected reads false and ignores writes.
//
// Writes made through this class raise no event: events come from a person's
// actions only (see TreeView). Every change is announced to the tree's
// observers so a view can show it.
#ifndef QVR_TOOLKIT_NODE_H_
#define QVR_TOOLKIT_NODE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qvr::toolkit {

class Node;
class Nodes;
class TreeView;
using NodePtr = std::shared_ptr<Node>;

namespace internal {
struct ChildSlot;
struct OrderSlot;
struct NodeKey;
struct ChildList;
}  // namespace internal

class Node : public std::enable_shared_from_this<Node> {
  struct Token {
    explicit Token() = default;
  };

 public:
  Node(Token, TreeView* tree, std::string key, std::string text);
  ~Node();
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // The key given to Add, "" when the node has none. Keys are unique within a
  // tree and compare exactly (letter case counts).
  const std::string& Key() const { return key_; }

  const std::string& Text() const { return text_; }
  void Text(std::string vData);

  // Keys of images of the tree's image list; "" for none.
  const std::string& Image() const;
  void Image(std::string_view vData);
  const std::string& SelectedImage() const;
  void SelectedImage(std::string_view vData);

  // 1-based position in the tree's node collection, in the order of adding;
  // later positions shift down when a node is removed.
  int32_t Index() const;

  // Number of direct children.
  int32_t Children() const;
  // First child, or null.
  NodePtr Child() const;
  // Last child, or null.
  NodePtr LastChild() const;
  // Next and previous sibling, or null.
  NodePtr Next() const;
  NodePtr Previous() const;
  // First and last sibling (the node itself when it has none before/after).
  NodePtr FirstSibling() const;
  NodePtr LastSibling() const;
  // Parent, or null for a top-level node.
  NodePtr Parent() const;
  // The top-level node above this one (itself when top-level).
  NodePtr Root() const;

  // The texts from the top-level node down to this one, joined by the tree's
  // PathSeparator ("\").
  std::string FullPath() const;

  bool Expanded() const { return expanded_; }
  void Expanded(bool vData);
  bool Checked() const { return checked_; }
  void Checked(bool vData);
  // True for the tree's selected node. Setting it selects this node (the
  // previous one is deselected); clearing it leaves the tree without one.
  bool Selected() const;
  void Selected(bool vData);

  // Expands every collapsed ancestor and asks the views to scroll the node
  // into view. Returns true when the node is in a tree.
  bool EnsureVisible();

  // For views: the 0-based position among its siblings, and the child at a
  // 0-based position (null when there is none). Both are O(log n) at worst.
  int32_t Row() const;
  NodePtr ChildAt(int32_t row) const;
  Node* ParentNode() const { return parent_; }
  // The tree the node belongs to, or nullptr once removed.
  TreeView* Tree() const { return tree_; }

 private:
  friend class Nodes;
  friend class TreeView;
  friend struct internal::ChildSlot;
  friend struct internal::OrderSlot;
  friend struct internal::NodeKey;

  const internal::ChildList* SiblingList() const;

  TreeView* tree_;
  NodePtr self_;  // keeps the node alive while it is in its tree
  Node* parent_ = nullptr;
  std::unique_ptr<internal::ChildList> children_;
  std::string key_;
  std::string text_;
  int32_t slot_ = -1;  // place among the siblings (see internal::ChildList)
  int32_t seq_ = -1;   // place in the order of adding (see Nodes)
  uint16_t image_ = 0;  // image keys, as numbers of internal::ImageNames
  uint16_t selected_image_ = 0;
  bool expanded_ = false;
  bool checked_ = false;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_NODE_H_
