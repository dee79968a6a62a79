// TreeViewWidget: shows a toolkit TreeView and turns what a person does to it
// into the tree's actions.
//
// A click on a node (not on its expander or check box) or moving the
// current node with the keyboard is UserClick; opening and closing a node
// (expander, keyboard) is UserExpand / UserCollapse, and when the tree's
// handlers undo an expansion the node closes again; a double click is
// UserDoubleClick (the tree itself then opens or closes the node); ticking a
// check box is UserCheck; every key press is UserKeyDown before the view
// handles it. Everything the tree's owner changes reaches the widget through
// the tree's notifications: expansion, selection, scrolling into view, the
// mouse pointer (the hourglass is the wait cursor), redrawing, place and size
// (twips, converted by the screen's DPI).
#ifndef QVR_QT_TREE_VIEW_WIDGET_H_
#define QVR_QT_TREE_VIEW_WIDGET_H_

#include <QTreeView>

#include "toolkit/toolkit.h"
#include "qt/icon_provider.h"
#include "qt/node_tree_model.h"
#include "qt/twips.h"

namespace qvr::view {

class TreeViewWidget : public QTreeView,
                       private toolkit::TreeViewObserver,
                       private toolkit::WidgetObserver {
  Q_OBJECT

 public:
  // `tree` and `icons` must outlive the widget.
  TreeViewWidget(toolkit::TreeView& tree, const IconProvider& icons, QWidget* parent = nullptr);
  ~TreeViewWidget() override;

  NodeTreeModel& Model() { return *model_; }
  // The place of a node's row in viewport coordinates (for tests and tools).
  QRect NodeRect(const toolkit::NodePtr& node);
  // Sets the conversion of twips, and places the widget where the tree is.
  void SetTwips(const Twips& twips);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  // TreeViewObserver.
  void NodeChanged(toolkit::Node& node, toolkit::NodeField field) override;
  void NodeScrolledIntoView(toolkit::Node& node) override;
  void NodeInserted(toolkit::Node& node) override;
  void NodesCleared() override;
  // WidgetObserver.
  void WidgetMoved(toolkit::Widget& widget) override;
  void WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) override;

  void OnExpanded(const QModelIndex& index);
  void OnCollapsed(const QModelIndex& index);
  // Makes the view's expansion of a node, or its current node, match the
  // tree's.
  void SyncExpansion(toolkit::Node* node);
  void SyncSelection();
  // Where a press at `pos` landed.
  enum class Spot { kNothing, kExpander, kCheckBox, kItem };
  Spot SpotAt(const QPoint& pos, QModelIndex* index);

  toolkit::TreeView& tree_;
  NodeTreeModel* model_;
  Twips twips_;
  bool syncing_ = false;   // the view is being made to match the tree
  bool keying_ = false;    // a key press is being handled by the view
};

}  // namespace qvr::view

#endif  // QVR_QT_TREE_VIEW_WIDGET_H_
