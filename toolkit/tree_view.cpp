#include "toolkit/tree_view.h"

#include <algorithm>

namespace qvr::toolkit {
TreeView::TreeView() : nodes_(*this) {}

TreeView::~TreeView() = default;

NodePtr TreeView::SelectedItem() const {
  return selected_ ? selected_->shared_from_this() : nullptr;
}

void TreeView::SelectedItem(const NodePtr& vData) {
  if (vData && !Owns(vData)) return;
  SetSelected(vData.get());
}

void TreeView::SetSelected(Node* node) {
  if (selected_ == node) return;
  Node* previous = selected_;
  selected_ = node;
  if (previous) Notify([&](TreeViewObserver& o) { o.NodeChanged(*previous, NodeField::kSelected); });
  if (node) Notify([&](TreeViewObserver& o) { o.NodeChanged(*node, NodeField::kSelected); });
}

void TreeView::SetExpanded(Node* node, bool expanded) {
  if (node->expanded_ == expanded) return;
  node->expanded_ = expanded;
  Notify([&](TreeViewObserver& o) { o.NodeChanged(*node, NodeField::kExpanded); });
}

void TreeView::MousePointer(int16_t vData) {
  if (mouse_pointer_ == vData) return;
  mouse_pointer_ = vData;
  NotifyPropertyChanged(WidgetProperty::kMousePointer);
}

void TreeView::Checkboxes(bool vData) {
  if (checkboxes_ == vData) return;
  checkboxes_ = vData;
  NotifyPropertyChanged(WidgetProperty::kCheckboxes);
}

void TreeView::Refresh() { NotifyPropertyChanged(WidgetProperty::kRefresh); }

bool TreeView::UserExpand(const NodePtr& node) {
  if (!Owns(node) || node->expanded_ || node->Children() == 0) return false;
  SetExpanded(node.get(), true);
  if (on_expand_) on_expand_(node);
  return true;
}

bool TreeView::UserCollapse(const NodePtr& node) {
  if (!Owns(node) || !node->expanded_) return false;
  SetExpanded(node.get(), false);
  if (on_collapse_) on_collapse_(node);
  return true;
}

bool TreeView::UserClick(const NodePtr& node) {
  if (!Owns(node)) return false;
  SetSelected(node.get());
  if (on_node_click_) on_node_click_(node);
  return true;
}

bool TreeView::UserDoubleClick(const NodePtr& node, bool toggle_expansion) {
  if (!Owns(node)) return false;
  if (on_dbl_click_) on_dbl_click_();
  // The handler may have removed the node or changed its state.
  if (toggle_expansion && Owns(node) && node->Children() > 0) {
    if (node->expanded_) {
      UserCollapse(node);
    } else {
      UserExpand(node);
    }
  }
  return true;
}

bool TreeView::UserCheck(const NodePtr& node, bool checked) {
  if (!Owns(node) || !checkboxes_) return false;
  node->Checked(checked);
  if (on_node_check_) on_node_check_(node);
  return true;
}

void TreeView::UserKeyDown(int16_t KeyCode, int16_t Shift) {
  if (on_key_down_) on_key_down_(KeyCode, Shift);
}

void TreeView::AddObserver(TreeViewObserver* observer) { observers_.Add(observer); }

void TreeView::RemoveObserver(TreeViewObserver* observer) { observers_.Remove(observer); }

}  // namespace qvr::toolkit
