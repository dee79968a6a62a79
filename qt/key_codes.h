// Key codes and shift states of the toolkit's key and mouse events, from
// Qt's keys, modifiers and buttons.
#ifndef QVR_QT_KEY_CODES_H_
#define QVR_QT_KEY_CODES_H_

#include <Qt>
#include <cstdint>

namespace qvr::view {

// The toolkit's key code for a Qt key (F5 is 116, "A" is 65, ...); 0 for keys
// that have none.
int16_t KeyCodeFromQt(int key);
// vbShiftMask, vbCtrlMask and vbAltMask combined.
int16_t ShiftFromQt(Qt::KeyboardModifiers modifiers);
// vbLeftButton, vbRightButton and vbMiddleButton combined.
int16_t ButtonFromQt(Qt::MouseButtons buttons);

}  // namespace qvr::view

#endif  // QVR_QT_KEY_CODES_H_
