#include "qt/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace qvr::view {

Twips Twips::ForWidget(const QWidget* widget) {
  QScreen* screen = widget ? widget->screen() : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  return Twips(screen ? screen->logicalDotsPerInchY() : 96.0);
}

int Twips::ToPixels(double twips) const {
  return static_cast<int>(std::lround(twips * dpi_ / 1440.0));
}

QRect Twips::ToPixels(double left, double top, double width, double height) const {
  // Edges are rounded, not sizes, so adjoining panes stay adjoining.
  int x0 = ToPixels(left), y0 = ToPixels(top);
  int x1 = ToPixels(left + width), y1 = ToPixels(top + height);
  return QRect(x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0));
}

}  // namespace qvr::view
