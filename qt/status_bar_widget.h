// StatusBarWidget: shows a toolkit StatusBar's first panel along the bottom
// edge of its parent, over the parent's full width. Its height, measured from
// the font, is written back into the status bar (in twips) so the control's
// layout leaves room for it.
#ifndef QVR_QT_STATUS_BAR_WIDGET_H_
#define QVR_QT_STATUS_BAR_WIDGET_H_

#include <QLabel>

#include "toolkit/toolkit.h"
#include "qt/twips.h"

namespace qvr::view {

class StatusBarWidget : public QLabel, private toolkit::WidgetObserver {
  Q_OBJECT

 public:
  StatusBarWidget(toolkit::StatusBar& bar, QWidget* parent = nullptr);
  ~StatusBarWidget() override;

  void SetTwips(const Twips& twips);
  // Places the bar along the bottom of a parent of this size (pixels), and
  // the status bar model with it.
  void Align(const QSize& parent_size);

 private:
  void WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) override;

  toolkit::StatusBar& bar_;
  Twips twips_;
};

}  // namespace qvr::view

#endif  // QVR_QT_STATUS_BAR_WIDGET_H_
