#include "toolkit/picture_box.h"

namespace qvr::toolkit {

void PictureBox::BackColor(uint32_t vData) {
  if (back_color_ == vData) return;
  back_color_ = vData;
  NotifyPropertyChanged(WidgetProperty::kBackColor);
}

void PictureBox::UserMouseDown(int16_t Button, int16_t Shift, float X, float Y) {
  if (on_down_) on_down_(Button, Shift, X, Y);
}

void PictureBox::UserMouseMove(int16_t Button, int16_t Shift, float X, float Y) {
  if (on_move_) on_move_(Button, Shift, X, Y);
}

void PictureBox::UserMouseUp(int16_t Button, int16_t Shift, float X, float Y) {
  if (on_up_) on_up_(Button, Shift, X, Y);
}

}  // namespace qvr::toolkit
