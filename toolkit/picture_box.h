// PictureBox: a plain rectangle with a background colour that reports the
// mouse; the control uses one as its splitter bar.
//
// Mouse events carry the button, the shift state and the position within the
// box in twips. They are raised only by a person's actions (MouseDown,
// MouseMove, MouseUp below), never by Move or BackColor.
#ifndef QVR_TOOLKIT_PICTURE_BOX_H_
#define QVR_TOOLKIT_PICTURE_BOX_H_

#include <cstdint>
#include <functional>

#include "toolkit/toolkit_constants.h"
#include "toolkit/widget.h"

namespace qvr::toolkit {

class PictureBox : public Widget {
 public:
  using MouseHandler = std::function<void(int16_t Button, int16_t Shift, float X, float Y)>;

  // An OLE colour: a system colour (top bit set) or a 0x00BBGGRR value.
  uint32_t BackColor() const { return back_color_; }
  void BackColor(uint32_t vData);

  // Events.
  void OnMouseDown(MouseHandler handler) { on_down_ = std::move(handler); }
  void OnMouseMove(MouseHandler handler) { on_move_ = std::move(handler); }
  void OnMouseUp(MouseHandler handler) { on_up_ = std::move(handler); }

  // A person's actions, in twips within the box.
  void UserMouseDown(int16_t Button, int16_t Shift, float X, float Y);
  void UserMouseMove(int16_t Button, int16_t Shift, float X, float Y);
  void UserMouseUp(int16_t Button, int16_t Shift, float X, float Y);

 private:
  uint32_t back_color_ = vbButtonFace;
  MouseHandler on_down_;
  MouseHandler on_move_;
  MouseHandler on_up_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_PICTURE_BOX_H_
