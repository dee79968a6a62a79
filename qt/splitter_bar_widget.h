// SplitterBarWidget: shows a toolkit PictureBox used as a splitter bar (a
// thin bar filled with its background colour, with the resize-up-down
// pointer) and reports the mouse on it, in twips within the bar, as the
// box's mouse events. The system colours show as the palette's: button face
// as the button colour, application workspace (the colour while dragged) as
// a darker grey.
#ifndef QVR_QT_SPLITTER_BAR_WIDGET_H_
#define QVR_QT_SPLITTER_BAR_WIDGET_H_

#include <QWidget>

#include "toolkit/toolkit.h"
#include "qt/twips.h"

namespace qvr::view {

class SplitterBarWidget : public QWidget, private toolkit::WidgetObserver {
  Q_OBJECT

 public:
  SplitterBarWidget(toolkit::PictureBox& box, QWidget* parent = nullptr);
  ~SplitterBarWidget() override;

  void SetTwips(const Twips& twips);
  // The colour an OLE colour shows as.
  QColor ColorOf(uint32_t ole_color) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void WidgetMoved(toolkit::Widget& widget) override;
  void WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) override;

  toolkit::PictureBox& box_;
  Twips twips_;
};

}  // namespace qvr::view

#endif  // QVR_QT_SPLITTER_BAR_WIDGET_H_
