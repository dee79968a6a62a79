// UserControl: the surface of a control that a container hosts: its inner
// size and its Resize event.
//
// The inner width and height (ScaleWidth, ScaleHeight) are in twips. The
// container (or a person dragging the window's edge) sets them with Resize;
// every change of size raises the Resize event, after the new size is in
// place. The control's own widgets are placed on this surface.
#ifndef QVR_TOOLKIT_USER_CONTROL_H_
#define QVR_TOOLKIT_USER_CONTROL_H_

#include <functional>

#include "toolkit/widget.h"

namespace qvr::toolkit {

class UserControl : public Widget {
 public:
  // A new surface of the given inner size raises nothing.
  explicit UserControl(float width = 4800, float height = 3600);

  float ScaleWidth() const { return Width(); }
  float ScaleHeight() const { return Height(); }

  // The container gives the control a new inner size; raises Resize when the
  // size changed.
  void Resize(float width, float height);

  // The Resize event.
  void OnResize(std::function<void()> handler) { on_resize_ = std::move(handler); }

 private:
  std::function<void()> on_resize_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_USER_CONTROL_H_
