// TreeView: a tree of nodes with images, check boxes and a selected node.
//
// Events are raised only by a person's actions, which a view (or a test)
// reports through the User... calls below; what the tree's owner writes
// itself (Expanded, Checked, Selected, SelectedItem, EnsureVisible) raises
// nothing. Handlers may change the tree, including removing the node they
// were given. Every change is announced to the observers (TreeViewObserver
// for nodes, WidgetObserver for place and look), so a view shows the tree
// without deciding anything itself.
//
// Window message WM_SETREDRAW (11) sent to hWnd switches redrawing off
// (wParam 0) and on again (any other wParam); views may batch what they show
// while it is off. Removing the selected node (or an ancestor of it) leaves
// the tree without a selected node; collapsing does not move the selection.
#ifndef QVR_TOOLKIT_TREE_VIEW_H_
#define QVR_TOOLKIT_TREE_VIEW_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/image_list.h"
#include "toolkit/node.h"
#include "toolkit/nodes.h"
#include "toolkit/toolkit_constants.h"
#include "toolkit/tree_view_observer.h"
#include "toolkit/widget.h"

namespace qvr::toolkit {

class TreeView : public Widget {
 public:
  using NodeHandler = std::function<void(const NodePtr& Node)>;
  using KeyHandler = std::function<void(int16_t& KeyCode, int16_t& Shift)>;
  using Handler = std::function<void()>;

  TreeView();
  ~TreeView() override;

  qvr::toolkit::Nodes& Nodes() { return nodes_; }
  const qvr::toolkit::Nodes& Nodes() const { return nodes_; }

  // The selected node, or null. Setting selects a node of this tree (null
  // clears the selection).
  NodePtr SelectedItem() const;
  void SelectedItem(const NodePtr& vData);

  // ccDefault, ccArrow, ccHourglass, ...
  int16_t MousePointer() const { return mouse_pointer_; }
  void MousePointer(int16_t vData);

  bool Checkboxes() const { return checkboxes_; }
  void Checkboxes(bool vData);

  // Separator of FullPath; "\" unless changed.
  const std::string& PathSeparator() const { return path_separator_; }
  void PathSeparator(std::string vData) { path_separator_ = std::move(vData); }

  // The image list the image keys refer to (not owned; may be null).
  const qvr::toolkit::ImageList* ImageList() const { return image_list_; }
  void ImageList(const qvr::toolkit::ImageList* vData) { image_list_ = vData; }

  // Asks the views to repaint now.
  void Refresh();


  // Events.
  void OnExpand(NodeHandler handler) { on_expand_ = std::move(handler); }
  void OnCollapse(NodeHandler handler) { on_collapse_ = std::move(handler); }
  void OnNodeClick(NodeHandler handler) { on_node_click_ = std::move(handler); }
  void OnNodeCheck(NodeHandler handler) { on_node_check_ = std::move(handler); }
  void OnKeyDown(KeyHandler handler) { on_key_down_ = std::move(handler); }
  void OnDblClick(Handler handler) { on_dbl_click_ = std::move(handler); }

  // A person's actions. Each returns false and does nothing when the action
  // is not possible (a node of another tree, no check boxes, ...).
  //
  // Opens a collapsed node that has children, then raises Expand.
  bool UserExpand(const NodePtr& node);
  // Closes an expanded node, then raises Collapse.
  bool UserCollapse(const NodePtr& node);
  // Selects the node, then raises NodeClick (also when it was selected).
  bool UserClick(const NodePtr& node);
  // The second click of a double click on a node (the first came as
  // UserClick): raises DblClick, then, like the tree does, opens or closes a
  // node that has children (raising Expand or Collapse) unless
  // `toggle_expansion` is false.
  bool UserDoubleClick(const NodePtr& node, bool toggle_expansion = true);
  // Ticks or clears a node's check box (only with Checkboxes on), then
  // raises NodeCheck.
  bool UserCheck(const NodePtr& node, bool checked);
  // A key pressed while the tree has the focus: raises KeyDown.
  void UserKeyDown(int16_t KeyCode, int16_t Shift);

  // Observers are not owned; one must be removed before it ends.
  void AddObserver(TreeViewObserver* observer);
  void RemoveObserver(TreeViewObserver* observer);

 private:
  friend class Node;
  friend class qvr::toolkit::Nodes;

  bool Owns(const NodePtr& node) const { return node && node->tree_ == this; }
  void SetSelected(Node* node);
  void SetExpanded(Node* node, bool expanded);

  template <class Fn>
  void Notify(Fn fn) {
    observers_.ForEach(fn);
  }

  qvr::toolkit::Nodes nodes_;
  Node* selected_ = nullptr;
  int16_t mouse_pointer_ = ccDefault;
  bool checkboxes_ = false;
  std::string path_separator_ = "\\";
  const qvr::toolkit::ImageList* image_list_ = nullptr;
  ObserverList<TreeViewObserver> observers_;

  NodeHandler on_expand_;
  NodeHandler on_collapse_;
  NodeHandler on_node_click_;
  NodeHandler on_node_check_;
  KeyHandler on_key_down_;
  Handler on_dbl_click_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_TREE_VIEW_H_
