// NodePath: the display path of the node a walk stands on, kept as the walk
// moves one level at a time.
//
// DisplayPathOf builds a node's path anew from the node up to its hive, which
// costs the node's depth; a walk that did so at every level of a chain n
// levels deep would spend O(n^2) on paths alone. A NodePath moves down to a
// child or back up to the parent at the cost of the one text it adds or
// drops, and reads exactly as DisplayPathOf: the texts below the top-level
// node, joined by "\". It also counts the "\" in the path, for PickedLevels.
//
//   NodePath path(first->Parent());
//   for (NodePtr n = first; n; n = n->Next()) {
//     path.Down(*n);
//     Use(path.Text());
//     path.Up();
//   }
//
// Holds no node; the walk keeps the nodes it passes alive and unchanged.
#ifndef QVR_CONTROL_INTERNAL_NODE_PATH_H_
#define QVR_CONTROL_INTERNAL_NODE_PATH_H_

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "toolkit/node.h"

namespace qvr::control_internal {

class NodePath {
 public:
  // Stands on `node` (null: above the top level, as a walk over the top-level
  // nodes starts). Costs the node's depth.
  explicit NodePath(const toolkit::NodePtr& node) {
    std::vector<const toolkit::Node*> chain;
    for (const toolkit::Node* n = node.get(); n; n = n->ParentNode()) chain.push_back(n);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) Down(**it);
  }

  // Moves to `child`, a child of the node the path stands on (or a top-level
  // node, from above the top level: its path is "", whatever its text).
  void Down(const toolkit::Node& child) {
    marks_.push_back({path_.size(), separators_});
    if (!child.ParentNode()) return;
    if (!path_.empty()) {
      path_ += '\\';
      ++separators_;
    }
    path_ += child.Text();
    separators_ += static_cast<size_t>(std::count(child.Text().begin(), child.Text().end(), '\\'));
  }

  // Moves back to the parent of the node the path stands on.
  void Up() {
    if (marks_.empty()) return;
    path_.resize(marks_.back().size);
    separators_ = marks_.back().separators;
    marks_.pop_back();
  }

  const std::string& Text() const { return path_; }
  size_t Separators() const { return separators_; }

 private:
  struct Mark {
    size_t size;
    size_t separators;
  };
  std::string path_;
  size_t separators_ = 0;
  std::vector<Mark> marks_;  // where each level above began
};

}  // namespace qvr::control_internal

#endif  // QVR_CONTROL_INTERNAL_NODE_PATH_H_
