// TreeViewObserver: what a view hears about the nodes of a TreeView.
//
// Insertions and removals come in pairs around the change, so a view can keep
// its own rows in step (the pattern of an item model): "about to" is told
// while the tree is still as before, the second call once the change is
// done. Rows are 0-based positions among siblings; a null parent stands for
// the top level. Removing a node removes its descendants with it; only the
// node itself is announced. Every method has an empty default.
#ifndef QVR_TOOLKIT_TREE_VIEW_OBSERVER_H_
#define QVR_TOOLKIT_TREE_VIEW_OBSERVER_H_

#include <cstdint>

namespace qvr::toolkit {

class Node;

// Which property of a node changed.
enum class NodeField { kText, kImage, kSelectedImage, kExpanded, kChecked, kSelected };

class TreeViewObserver {
 public:
  virtual ~TreeViewObserver() = default;

  // A node is about to be inserted under `parent` at `row`.
  virtual void NodeAboutToBeInserted(Node* parent, int32_t row) {}
  // The node is in place (its parent and Row() are final).
  virtual void NodeInserted(Node& node) {}
  // The node (still in place, with its descendants) is about to go.
  virtual void NodeAboutToBeRemoved(Node& node) {}
  // The node that was at `row` under `parent` is gone.
  virtual void NodeRemoved(Node* parent, int32_t row) {}
  // Every node is about to go, and is gone.
  virtual void NodesAboutToBeCleared() {}
  virtual void NodesCleared() {}
  // A property of a node changed. kSelected is told for the node that gained
  // and the node that lost the selection.
  virtual void NodeChanged(Node& node, NodeField field) {}
  // The node should be scrolled into view.
  virtual void NodeScrolledIntoView(Node& node) {}
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_TREE_VIEW_OBSERVER_H_
