#include "qt/list_view_widget.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyleOptionViewItem>

namespace qvr::view {

using toolkit::ListItem;

ListViewWidget::ListViewWidget(toolkit::ListView& list, const IconProvider& icons, QWidget* parent)
    : QTreeView(parent), list_(list), model_(new ValueListModel(list, icons, this)),
      twips_(Twips::ForWidget(parent)) {
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);  // the list sorts; the header only shows how
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIconSize(QSize(16, 16));
  header()->setSectionsClickable(true);
  header()->setStretchLastSection(false);
  connect(header(), &QHeaderView::sectionClicked, this,
          [this](int logical) { list_.UserClickColumn(logical + 1); });
  connect(header(), &QHeaderView::sectionResized, this, &ListViewWidget::OnSectionResized);
  list_.AddObserver(this);
  list_.AddWidgetObserver(this);
  ApplyColumns();
  ApplySortIndicator();
  WidgetMoved(list_);
}

ListViewWidget::~ListViewWidget() {
  list_.RemoveObserver(this);
  list_.RemoveWidgetObserver(this);
}

void ListViewWidget::SetTwips(const Twips& twips) {
  twips_ = twips;
  ApplyColumns();
  WidgetMoved(list_);
}

QRect ListViewWidget::ItemRect(const toolkit::ListItemPtr& item, int column) {
  return visualRect(model_->IndexFor(item.get(), column));
}

bool ListViewWidget::OnCheckBox(const QModelIndex& index, const QPoint& pos) {
  if (!list_.Checkboxes() || index.column() != 0) return false;
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  option.index = index;
  option.features |= QStyleOptionViewItem::HasCheckIndicator;
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this).contains(pos);
}

void ListViewWidget::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  QModelIndex index = indexAt(pos);
  const bool check = index.isValid() && OnCheckBox(index, pos);
  QTreeView::mousePressEvent(event);
  if (event->button() != Qt::LeftButton || check) return;
  if (toolkit::ListItemPtr item = model_->ItemAt(index)) {
    list_.UserClickItem(item);
  } else {
    list_.UserClickEmpty();
  }
}

void ListViewWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  QModelIndex index = indexAt(pos);
  if (index.isValid() && OnCheckBox(index, pos)) {
    QTreeView::mouseDoubleClickEvent(event);  // a second tick of the box
    return;
  }
  if (event->button() == Qt::LeftButton) list_.UserDoubleClick();
}

void ListViewWidget::ItemChanged(ListItem& item, toolkit::ListItemField field, int32_t column) {
  if (field != toolkit::ListItemField::kSelected) return;
  syncing_ = true;
  if (item.Selected()) {
    selectionModel()->setCurrentIndex(model_->IndexFor(&item),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  } else if (!list_.SelectedItem()) {
    selectionModel()->clear();
  }
  syncing_ = false;
}

void ListViewWidget::ItemsCleared() { ApplyColumns(); }

void ListViewWidget::WidgetMoved(toolkit::Widget& widget) {
  setGeometry(twips_.ToPixels(widget.Left(), widget.Top(), widget.Width(), widget.Height()));
}

void ListViewWidget::WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) {
  using toolkit::WidgetProperty;
  switch (property) {
    case WidgetProperty::kColumns: ApplyColumns(); break;
    case WidgetProperty::kSort: ApplySortIndicator(); break;
    case WidgetProperty::kRedraw: setUpdatesEnabled(list_.Redraw()); break;
    case WidgetProperty::kCheckboxes:
    case WidgetProperty::kRefresh:
    case WidgetProperty::kArrange: viewport()->update(); break;
    default: break;
  }
}

void ListViewWidget::ApplyColumns() {
  syncing_ = true;
  const auto& columns = list_.ColumnHeaders();
  for (int i = 1; i <= columns.Count(); ++i)
    setColumnWidth(i - 1, twips_.ToPixels(columns.Item(i).Width()));
  syncing_ = false;
}

void ListViewWidget::ApplySortIndicator() {
  header()->setSortIndicatorShown(list_.Sorted());
  if (list_.Sorted())
    header()->setSortIndicator(list_.SortKey(), list_.SortOrder() == toolkit::lvwDescending
                                                    ? Qt::DescendingOrder
                                                    : Qt::AscendingOrder);
}

void ListViewWidget::OnSectionResized(int logical, int old_size, int new_size) {
  if (syncing_ || logical >= list_.ColumnHeaders().Count()) return;
  // A person dragged the column's edge.
  syncing_ = true;
  list_.ColumnHeaders().Item(logical + 1).Width(static_cast<float>(twips_.ToTwips(new_size)));
  syncing_ = false;
}

}  // namespace qvr::view
