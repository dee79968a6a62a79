// Widget: what every visible widget has: a window handle, a place in its
// container (in twips) and observers.
//
// Positions and sizes are Singles in the container's scale (twips), measured
// from the container's top left corner. A widget owns no pixels; views learn
// of changes through WidgetObserver. Each widget gets a window handle unique
// in the process, which SendMessageA routes to its WindowProc.
#ifndef QVR_TOOLKIT_WIDGET_H_
#define QVR_TOOLKIT_WIDGET_H_

#include <cstdint>
#include "toolkit/observer_list.h"

#include "toolkit/widget_observer.h"

namespace qvr::toolkit {

class Widget {
 public:
  Widget();
  virtual ~Widget();
  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

  // The window handle (never 0).
  int32_t hWnd() const { return hwnd_; }

  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void Left(float vData) { Move(vData, top_, width_, height_); }
  void Top(float vData) { Move(left_, vData, width_, height_); }
  void Width(float vData) { Move(left_, top_, vData, height_); }
  void Height(float vData) { Move(left_, top_, width_, vData); }

  // Moves and sizes the widget; the two-argument form keeps the size.
  // Negative sizes raise 380 ("Invalid property value"), as sizes must not be
  // negative; the widget is then unchanged.
  void Move(float Left, float Top, float Width, float Height);
  void Move(float Left, float Top) { Move(Left, Top, width_, height_); }

  // Observers are not owned; one must be removed before it ends.
  void AddWidgetObserver(WidgetObserver* observer);
  void RemoveWidgetObserver(WidgetObserver* observer);

  // False while redrawing is switched off by WM_SETREDRAW.
  bool Redraw() const { return redraw_; }

  // Handles a window message sent to hWnd (see SendMessageA): WM_SETREDRAW
  // switches redrawing off (wParam 0) or on (any other value); every other
  // message is ignored. Returns 0.
  virtual int32_t WindowProc(int32_t wMsg, int32_t wParam, int32_t lParam);

 protected:
  void NotifyMoved();
  void NotifyPropertyChanged(WidgetProperty property);

 private:
  int32_t hwnd_;
  float left_ = 0;
  float top_ = 0;
  float width_ = 0;
  float height_ = 0;
  bool redraw_ = true;
  ObserverList<WidgetObserver> observers_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_WIDGET_H_
