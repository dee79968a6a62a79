#include "qt/key_codes.h"

#include "toolkit/toolkit_constants.h"

namespace qvr::view {

int16_t KeyCodeFromQt(int key) {
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<int16_t>(112 + (key - Qt::Key_F1));
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
    return static_cast<int16_t>(key);  // the same codes
  switch (key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Plus: return 107;
    case Qt::Key_Minus: return 109;
    default: return 0;
  }
}

int16_t ShiftFromQt(Qt::KeyboardModifiers modifiers) {
  int16_t shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= toolkit::vbShiftMask;
  if (modifiers & Qt::ControlModifier) shift |= toolkit::vbCtrlMask;
  if (modifiers & Qt::AltModifier) shift |= toolkit::vbAltMask;
  return shift;
}

int16_t ButtonFromQt(Qt::MouseButtons buttons) {
  int16_t button = 0;
  if (buttons & Qt::LeftButton) button |= toolkit::vbLeftButton;
  if (buttons & Qt::RightButton) button |= toolkit::vbRightButton;
  if (buttons & Qt::MiddleButton) button |= toolkit::vbMiddleButton;
  return button;
}

}  // namespace qvr::view
