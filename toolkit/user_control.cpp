#include "toolkit/user_control.h"

namespace qvr::toolkit {

UserControl::UserControl(float width, float height) { Move(0, 0, width, height); }

void UserControl::Resize(float width, float height) {
  if (width == Width() && height == Height()) return;
  Move(Left(), Top(), width, height);
  if (on_resize_) on_resize_();
}

}  // namespace qvr::toolkit
