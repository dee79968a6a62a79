#include "qt/value_list_model.h"

#include <QTimer>

namespace qvr::view {

using toolkit::ListItem;

ValueListModel::ValueListModel(toolkit::ListView& list, const IconProvider& icons, QObject* parent)
    : QAbstractTableModel(parent), list_(list), icons_(icons),
      columns_(list.ColumnHeaders().Count()) {
  list_.AddObserver(this);
  list_.AddWidgetObserver(this);
}

ValueListModel::~ValueListModel() {
  list_.RemoveObserver(this);
  list_.RemoveWidgetObserver(this);
}

int ValueListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.ListItems().Count();
}

int ValueListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

toolkit::ListItemPtr ValueListModel::ItemAt(const QModelIndex& index) const {
  return index.isValid() ? list_.ListItems().At(index.row()) : nullptr;
}

QModelIndex ValueListModel::IndexFor(const ListItem* item, int column) const {
  if (!item || item->List() != &list_) return QModelIndex();
  // Index() settles a pending sort first, which the view hears of first.
  return createIndex(item->Index() - 1, column);
}

QVariant ValueListModel::data(const QModelIndex& index, int role) const {
  toolkit::ListItemPtr item = ItemAt(index);
  if (!item) return QVariant();
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      if (column == 0) return QString::fromStdString(item->Text());
      return QString::fromStdString(item->ListSubItems(column).Text);
    case Qt::DecorationRole:
      if (column != 0 || item->SmallIcon().empty()) return QVariant();
      return icons_.Icon(item->SmallIcon());
    case Qt::CheckStateRole:
      if (column != 0 || !list_.Checkboxes()) return QVariant();
      return item->Checked() ? Qt::Checked : Qt::Unchecked;
    default:
      return QVariant();
  }
}

bool ValueListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  toolkit::ListItemPtr item = ItemAt(index);
  if (!item || role != Qt::CheckStateRole) return false;
  return list_.UserCheck(item, value.toInt() == Qt::Checked);
}

QVariant ValueListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  if (section < 0 || section >= list_.ColumnHeaders().Count()) return QVariant();
  return QString::fromStdString(list_.ColumnHeaders().Item(section + 1).Text());
}

Qt::ItemFlags ValueListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == 0 && list_.Checkboxes()) f |= Qt::ItemIsUserCheckable;
  return f;
}

void ValueListModel::ItemAboutToBeInserted(int32_t row) { beginInsertRows(QModelIndex(), row, row); }
void ValueListModel::ItemInserted(ListItem& item) { endInsertRows(); }
void ValueListModel::ItemAboutToBeRemoved(ListItem& item) {
  int row = item.Index() - 1;
  beginRemoveRows(QModelIndex(), row, row);
}
void ValueListModel::ItemRemoved(int32_t row) { endRemoveRows(); }
void ValueListModel::ItemsAboutToBeCleared() { beginResetModel(); }
void ValueListModel::ItemsCleared() { endResetModel(); }

void ValueListModel::ItemsAboutToBeReordered() {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  moving_.clear();
  for (const QModelIndex& index : persistentIndexList()) moving_.emplace_back(index, ItemAt(index));
}

void ValueListModel::ItemsReordered() {
  for (auto& [index, item] : moving_) {
    if (item && item->List() == &list_) {
      changePersistentIndex(index, IndexFor(item.get(), index.column()));
    } else {
      changePersistentIndex(index, QModelIndex());
    }
  }
  moving_.clear();
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ValueListModel::ItemChanged(ListItem& item, toolkit::ListItemField field, int32_t column) {
  using toolkit::ListItemField;
  if (list_.SortIsPending()) return;  // the view learns all at the settle
  QModelIndex first = IndexFor(&item, 0);
  switch (field) {
    case ListItemField::kText:
      emit dataChanged(first, first, {Qt::DisplayRole, Qt::ToolTipRole});
      break;
    case ListItemField::kSubItem:
      if (column < columns_) {
        QModelIndex cell = IndexFor(&item, column);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
      }
      break;
    case ListItemField::kIcon:
    case ListItemField::kSmallIcon:
      emit dataChanged(first, first, {Qt::DecorationRole});
      break;
    case ListItemField::kChecked:
      emit dataChanged(first, first, {Qt::CheckStateRole});
      break;
    case ListItemField::kSelected:
      break;  // the view's business (see ListViewWidget)
  }
}

void ValueListModel::SortPending() {
  if (settle_queued_) return;
  settle_queued_ = true;
  QTimer::singleShot(0, this, [this] {
    settle_queued_ = false;
    list_.Settle();
    if (rowCount() > 0)
      emit dataChanged(index(0, 0), index(rowCount() - 1, columns_ - 1));
  });
}

void ValueListModel::WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) {
  if (property != toolkit::WidgetProperty::kColumns) return;
  const int count = list_.ColumnHeaders().Count();
  if (count != columns_) {
    beginResetModel();
    columns_ = count;
    endResetModel();
  } else {
    emit headerDataChanged(Qt::Horizontal, 0, count - 1);
  }
}

}  // namespace qvr::view
