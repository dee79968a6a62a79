#include "qt/tree_view_widget.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionViewItem>

#include "qt/key_codes.h"

namespace qvr::view {

using toolkit::Node;

TreeViewWidget::TreeViewWidget(toolkit::TreeView& tree, const IconProvider& icons, QWidget* parent)
    : QTreeView(parent), tree_(tree), model_(new NodeTreeModel(tree, icons, this)),
      twips_(Twips::ForWidget(parent)) {
  setModel(model_);
  setHeaderHidden(true);
  setUniformRowHeights(true);  // keeps scrolling through 100k rows smooth
  setExpandsOnDoubleClick(false);  // the tree decides (see UserDoubleClick)
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(16, 16));
  tree_.AddObserver(this);
  tree_.AddWidgetObserver(this);
  connect(this, &QTreeView::expanded, this, &TreeViewWidget::OnExpanded);
  connect(this, &QTreeView::collapsed, this, &TreeViewWidget::OnCollapsed);
  WidgetMoved(tree_);
}

TreeViewWidget::~TreeViewWidget() {
  tree_.RemoveObserver(this);
  tree_.RemoveWidgetObserver(this);
}

void TreeViewWidget::SetTwips(const Twips& twips) {
  twips_ = twips;
  WidgetMoved(tree_);
}

QRect TreeViewWidget::NodeRect(const toolkit::NodePtr& node) {
  return visualRect(model_->IndexFor(node.get()));
}

TreeViewWidget::Spot TreeViewWidget::SpotAt(const QPoint& pos, QModelIndex* index) {
  *index = indexAt(pos);
  if (!index->isValid()) return Spot::kNothing;
  QRect rect = visualRect(*index);
  if (pos.x() < rect.left()) return Spot::kExpander;
  if (tree_.Checkboxes()) {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = rect;
    option.index = *index;
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    if (box.contains(pos)) return Spot::kCheckBox;
  }
  return Spot::kItem;
}

void TreeViewWidget::mousePressEvent(QMouseEvent* event) {
  QModelIndex index;
  Spot spot = SpotAt(event->position().toPoint(), &index);
  QTreeView::mousePressEvent(event);
  if (spot == Spot::kItem && event->button() == Qt::LeftButton) {
    Node* node = model_->NodeAt(index);
    if (node && node->Tree() == &tree_) tree_.UserClick(node->shared_from_this());
  } else {
    // A press on a check box or expander (or with another button) selects
    // nothing in the tree, so the view shows the tree's selection again.
    SyncSelection();
  }
}

void TreeViewWidget::SyncSelection() {
  syncing_ = true;
  if (toolkit::NodePtr selected = tree_.SelectedItem()) {
    QModelIndex index = model_->IndexFor(selected.get());
    if (currentIndex() != index)
      selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  } else {
    selectionModel()->clear();
  }
  syncing_ = false;
}

void TreeViewWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  QModelIndex index;
  Spot spot = SpotAt(event->position().toPoint(), &index);
  if (spot != Spot::kItem) {
    QTreeView::mouseDoubleClickEvent(event);
    return;
  }
  Node* node = model_->NodeAt(index);
  if (node && node->Tree() == &tree_) tree_.UserDoubleClick(node->shared_from_this());
}

void TreeViewWidget::keyPressEvent(QKeyEvent* event) {
  if (int16_t code = KeyCodeFromQt(event->key()))
    tree_.UserKeyDown(code, ShiftFromQt(event->modifiers()));
  keying_ = true;
  QTreeView::keyPressEvent(event);
  keying_ = false;
}

void TreeViewWidget::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeView::currentChanged(current, previous);
  // Moving to a node with the keyboard clicks it; the view moving its current
  // row by itself (rows removed, say) is no one's click.
  if (!keying_ || syncing_) return;
  Node* node = model_->NodeAt(current);
  if (node && node->Tree() == &tree_ && !node->Selected()) tree_.UserClick(node->shared_from_this());
}

void TreeViewWidget::OnExpanded(const QModelIndex& index) {
  if (syncing_) return;
  Node* node = model_->NodeAt(index);
  if (!node) return;
  toolkit::NodePtr keep = node->shared_from_this();
  tree_.UserExpand(keep);
  SyncExpansion(node);
}

void TreeViewWidget::OnCollapsed(const QModelIndex& index) {
  if (syncing_) return;
  Node* node = model_->NodeAt(index);
  if (!node) return;
  toolkit::NodePtr keep = node->shared_from_this();
  tree_.UserCollapse(keep);
  SyncExpansion(node);
}

void TreeViewWidget::SyncExpansion(Node* node) {
  if (!node || node->Tree() != &tree_) return;
  QModelIndex index = model_->IndexFor(node);
  if (!index.isValid() || isExpanded(index) == node->Expanded()) return;
  syncing_ = true;
  setExpanded(index, node->Expanded());
  syncing_ = false;
}

void TreeViewWidget::NodeChanged(Node& node, toolkit::NodeField field) {
  if (field == toolkit::NodeField::kExpanded) {
    SyncExpansion(&node);
  } else if (field == toolkit::NodeField::kSelected) {
    if (node.Selected() || !tree_.SelectedItem()) SyncSelection();
  }
}

void TreeViewWidget::NodeScrolledIntoView(Node& node) { scrollTo(model_->IndexFor(&node)); }

void TreeViewWidget::NodeInserted(Node& node) {
  // A node opened before it had children shows them once they come.
  Node* parent = node.ParentNode();
  if (parent && parent->Expanded() && node.Row() == 0) SyncExpansion(parent);
}

void TreeViewWidget::NodesCleared() {}

void TreeViewWidget::WidgetMoved(toolkit::Widget& widget) {
  setGeometry(twips_.ToPixels(widget.Left(), widget.Top(), widget.Width(), widget.Height()));
}

void TreeViewWidget::WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) {
  using toolkit::WidgetProperty;
  switch (property) {
    case WidgetProperty::kMousePointer:
      if (tree_.MousePointer() == toolkit::ccHourglass) {
        viewport()->setCursor(Qt::WaitCursor);
      } else if (tree_.MousePointer() == toolkit::ccArrow) {
        viewport()->setCursor(Qt::ArrowCursor);
      } else {
        viewport()->unsetCursor();
      }
      break;
    case WidgetProperty::kRedraw:
      setUpdatesEnabled(tree_.Redraw());
      break;
    case WidgetProperty::kCheckboxes:
    case WidgetProperty::kRefresh:
      viewport()->update();
      break;
    default:
      break;
  }
}

}  // namespace qvr::view
