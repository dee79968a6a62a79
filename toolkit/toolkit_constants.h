// Constants of the widget toolkit: the values that callers pass to and receive
// from the widgets, under the names a form designer knows them by.
#ifndef QVR_TOOLKIT_TOOLKIT_CONSTANTS_H_
#define QVR_TOOLKIT_TOOLKIT_CONSTANTS_H_

#include <cstdint>

namespace qvr::toolkit {

// Where Nodes::Add places a node relative to the node named by `Relative`.
enum TreeRelationshipConstants : int32_t {
  tvwFirst = 0,     // first among the relative's siblings
  tvwLast = 1,      // last among the relative's siblings
  tvwNext = 2,      // right after the relative (the default)
  tvwPrevious = 3,  // right before the relative
  tvwChild = 4,     // last child of the relative
};

// Mouse pointers of a widget.
enum MousePointerConstants : int16_t {
  ccDefault = 0,
  ccArrow = 1,
  ccHourglass = 11,
};

// List sort order.
enum ListSortOrderConstants : int32_t {
  lvwAscending = 0,
  lvwDescending = 1,
};

// List arrangement of icons.
enum ListArrangeConstants : int32_t {
  lvwNone = 0,
  lvwAutoLeft = 1,
  lvwAutoTop = 2,
};

// Mouse buttons and shift states passed with mouse and key events.
enum MouseButtonConstants : int16_t {
  vbLeftButton = 1,
  vbRightButton = 2,
  vbMiddleButton = 4,
};
enum ShiftConstants : int16_t {
  vbShiftMask = 1,
  vbCtrlMask = 2,
  vbAltMask = 4,
};

// A few key codes.
enum KeyCodeConstants : int16_t {
  vbKeyReturn = 13,
  vbKeyEscape = 27,
  vbKeySpace = 32,
  vbKeyF5 = 116,
};

// System colours (OLE_COLOR values with the top bit set name a system colour).
enum SystemColorConstants : uint32_t {
  vbApplicationWorkspace = 0x8000000Cu,
  vbButtonFace = 0x8000000Fu,
  vbWindowBackground = 0x80000005u,
};

// Message box styles and results.
enum MsgBoxStyle : int32_t {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbAbortRetryIgnore = 2,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbRetryCancel = 5,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
};
enum MsgBoxResult : int32_t {
  vbOK = 1,
  vbCancel = 2,
  vbAbort = 3,
  vbRetry = 4,
  vbIgnore = 5,
  vbYes = 6,
  vbNo = 7,
};

// Window messages understood by the widgets (see SendMessageA).
inline constexpr int32_t WM_SETREDRAW = 11;

// Errors the widgets raise, as AutomationError numbers.
namespace toolkit_errors {
inline constexpr int32_t kIndexOutOfBounds = 35600;    // "Index out of bounds"
inline constexpr int32_t kElementNotFound = 35601;     // "Element not found"
inline constexpr int32_t kKeyNotUnique = 35602;        // "Key is not unique in collection"
inline constexpr int32_t kInvalidKey = 35603;          // "Invalid key"
inline constexpr int32_t kControlDeleted = 35605;      // "Control has been deleted"
inline constexpr int32_t kInvalidRelationship = 5;     // "Invalid procedure call or argument"
}  // namespace toolkit_errors

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_TOOLKIT_CONSTANTS_H_
