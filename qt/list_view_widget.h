// ListViewWidget: shows a toolkit ListView in report view and turns what a
// person does to it into the list's actions.
//
// A click on a row (not on its check box) is UserClickItem, a click on empty
// space UserClickEmpty, the second click of a double click UserDoubleClick,
// ticking a box UserCheck (through the model), a click on a column header
// UserClickColumn. The header shows the sort indicator while the list is
// sorted. Dragging a column's edge sets that column's width; the list's
// own column widths, selection, place and size reach the widget through its
// notifications (twips converted by the screen's DPI).
#ifndef QVR_QT_LIST_VIEW_WIDGET_H_
#define QVR_QT_LIST_VIEW_WIDGET_H_

#include <QTreeView>

#include "toolkit/toolkit.h"
#include "qt/icon_provider.h"
#include "qt/twips.h"
#include "qt/value_list_model.h"

namespace qvr::view {

class ListViewWidget : public QTreeView,
                       private toolkit::ListViewObserver,
                       private toolkit::WidgetObserver {
  Q_OBJECT

 public:
  ListViewWidget(toolkit::ListView& list, const IconProvider& icons, QWidget* parent = nullptr);
  ~ListViewWidget() override;

  ValueListModel& Model() { return *model_; }
  // The place of a row in viewport coordinates (for tests and tools).
  QRect ItemRect(const toolkit::ListItemPtr& item, int column = 0);
  void SetTwips(const Twips& twips);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // ListViewObserver.
  void ItemChanged(toolkit::ListItem& item, toolkit::ListItemField field, int32_t column) override;
  void ItemsCleared() override;
  // WidgetObserver.
  void WidgetMoved(toolkit::Widget& widget) override;
  void WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) override;

  void ApplyColumns();
  void ApplySortIndicator();
  void OnSectionResized(int logical, int old_size, int new_size);
  bool OnCheckBox(const QModelIndex& index, const QPoint& pos);

  toolkit::ListView& list_;
  ValueListModel* model_;
  Twips twips_;
  bool syncing_ = false;
};

}  // namespace qvr::view

#endif  // QVR_QT_LIST_VIEW_WIDGET_H_
