#include "qt/status_bar_widget.h"

namespace qvr::view {

StatusBarWidget::StatusBarWidget(toolkit::StatusBar& bar, QWidget* parent)
    : QLabel(parent), bar_(bar), twips_(Twips::ForWidget(parent)) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setMargin(2);
  setTextFormat(Qt::PlainText);
  setText(QString::fromStdString(bar_.Panels(1).Text()));
  bar_.AddWidgetObserver(this);
}

StatusBarWidget::~StatusBarWidget() { bar_.RemoveWidgetObserver(this); }

void StatusBarWidget::SetTwips(const Twips& twips) { twips_ = twips; }

void StatusBarWidget::Align(const QSize& parent_size) {
  const int height = sizeHint().height();
  setGeometry(0, parent_size.height() - height, parent_size.width(), height);
  bar_.Move(0, static_cast<float>(twips_.ToTwips(parent_size.height() - height)),
            static_cast<float>(twips_.ToTwips(parent_size.width())),
            static_cast<float>(twips_.ToTwips(height)));
}

void StatusBarWidget::WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) {
  if (property == toolkit::WidgetProperty::kPanels)
    setText(QString::fromStdString(bar_.Panels(1).Text()));
}

}  // namespace qvr::view
