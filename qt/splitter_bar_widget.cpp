#include "qt/splitter_bar_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "qt/key_codes.h"

namespace qvr::view {

SplitterBarWidget::SplitterBarWidget(toolkit::PictureBox& box, QWidget* parent)
    : QWidget(parent), box_(box), twips_(Twips::ForWidget(parent)) {
  setCursor(Qt::SplitVCursor);
  setMouseTracking(false);  // moves count while a button is held, as on the bar
  box_.AddWidgetObserver(this);
  WidgetMoved(box_);
}

SplitterBarWidget::~SplitterBarWidget() { box_.RemoveWidgetObserver(this); }

void SplitterBarWidget::SetTwips(const Twips& twips) {
  twips_ = twips;
  WidgetMoved(box_);
}

QColor SplitterBarWidget::ColorOf(uint32_t ole_color) const {
  switch (ole_color) {
    case toolkit::vbButtonFace: return palette().color(QPalette::Button);
    case toolkit::vbApplicationWorkspace: return palette().color(QPalette::Dark);
    case toolkit::vbWindowBackground: return palette().color(QPalette::Base);
    default:
      if (ole_color & 0x80000000u) return palette().color(QPalette::Window);
      return QColor(ole_color & 0xFF, (ole_color >> 8) & 0xFF, (ole_color >> 16) & 0xFF);
  }
}

void SplitterBarWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ColorOf(box_.BackColor()));
}

void SplitterBarWidget::mousePressEvent(QMouseEvent* event) {
  QPointF pos = event->position();
  box_.UserMouseDown(ButtonFromQt(event->button()), ShiftFromQt(event->modifiers()),
                     static_cast<float>(twips_.ToTwips(qRound(pos.x()))),
                     static_cast<float>(twips_.ToTwips(qRound(pos.y()))));
}

void SplitterBarWidget::mouseMoveEvent(QMouseEvent* event) {
  QPointF pos = event->position();
  box_.UserMouseMove(ButtonFromQt(event->buttons()), ShiftFromQt(event->modifiers()),
                     static_cast<float>(twips_.ToTwips(qRound(pos.x()))),
                     static_cast<float>(twips_.ToTwips(qRound(pos.y()))));
}

void SplitterBarWidget::mouseReleaseEvent(QMouseEvent* event) {
  QPointF pos = event->position();
  box_.UserMouseUp(ButtonFromQt(event->button()), ShiftFromQt(event->modifiers()),
                   static_cast<float>(twips_.ToTwips(qRound(pos.x()))),
                   static_cast<float>(twips_.ToTwips(qRound(pos.y()))));
}

void SplitterBarWidget::WidgetMoved(toolkit::Widget& widget) {
  setGeometry(twips_.ToPixels(widget.Left(), widget.Top(), widget.Width(), widget.Height()));
}

void SplitterBarWidget::WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) {
  if (property == toolkit::WidgetProperty::kBackColor) update();
}

}  // namespace qvr::view
