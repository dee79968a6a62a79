// ValueListModel: a table model over the rows of a toolkit ListView.
//
// Its columns are the list's column headers (captions as header data); a
// row shows its text and small icon in the first column, its sub-items in
// the others, and its check state while the list has check boxes. Ticking a
// box in the view is a person's action and goes to ListView::UserCheck. The
// model follows the list's notifications: inserted, removed, changed and
// reordered rows, cleared lists; and it settles a sorted list's pending
// order when the event loop is next idle.
#ifndef QVR_QT_VALUE_LIST_MODEL_H_
#define QVR_QT_VALUE_LIST_MODEL_H_

#include <QAbstractTableModel>
#include <vector>

#include "toolkit/toolkit.h"
#include "qt/icon_provider.h"

namespace qvr::view {

class ValueListModel : public QAbstractTableModel,
                       private toolkit::ListViewObserver,
                       private toolkit::WidgetObserver {
  Q_OBJECT

 public:
  // `list` and `icons` must outlive the model.
  ValueListModel(toolkit::ListView& list, const IconProvider& icons, QObject* parent = nullptr);
  ~ValueListModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  toolkit::ListItemPtr ItemAt(const QModelIndex& index) const;
  QModelIndex IndexFor(const toolkit::ListItem* item, int column = 0) const;

 private:
  // ListViewObserver.
  void ItemAboutToBeInserted(int32_t row) override;
  void ItemInserted(toolkit::ListItem& item) override;
  void ItemAboutToBeRemoved(toolkit::ListItem& item) override;
  void ItemRemoved(int32_t row) override;
  void ItemsAboutToBeCleared() override;
  void ItemsCleared() override;
  void ItemsAboutToBeReordered() override;
  void ItemsReordered() override;
  void ItemChanged(toolkit::ListItem& item, toolkit::ListItemField field, int32_t column) override;
  void SortPending() override;
  // WidgetObserver.
  void WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) override;

  toolkit::ListView& list_;
  const IconProvider& icons_;
  int columns_ = 0;
  bool settle_queued_ = false;
  // Rows the view holds indexes to, kept across a reordering.
  std::vector<std::pair<QPersistentModelIndex, toolkit::ListItemPtr>> moving_;
};

}  // namespace qvr::view

#endif  // QVR_QT_VALUE_LIST_MODEL_H_
