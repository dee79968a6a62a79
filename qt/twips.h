// Twips: converts the control's twips (1/1440 inch) to pixels of a screen and
// back, by the screen's logical dots per inch.
#ifndef QVR_QT_TWIPS_H_
#define QVR_QT_TWIPS_H_

#include <QRect>

class QWidget;

namespace qvr::view {

class Twips {
 public:
  // At `dpi` logical dots per inch (96 on most desktops).
  explicit Twips(double dpi = 96.0) : dpi_(dpi > 0 ? dpi : 96.0) {}
  // The logical DPI of the screen `widget` is on (the primary screen when it
  // is on none yet).
  static Twips ForWidget(const QWidget* widget);

  double Dpi() const { return dpi_; }
  int ToPixels(double twips) const;
  double ToTwips(int pixels) const { return pixels * 1440.0 / dpi_; }
  // A rectangle given in twips (left, top, width, height), in pixels.
  QRect ToPixels(double left, double top, double width, double height) const;

 private:
  double dpi_;
};

}  // namespace qvr::view

#endif  // QVR_QT_TWIPS_H_
