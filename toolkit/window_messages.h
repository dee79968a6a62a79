// SendMessageA: delivers a window message to the widget with a window handle,
// as the platform's message call does.
//
// Only messages the widgets understand have an effect: WM_SETREDRAW (11),
// with wParam 0 to stop redrawing and any other value to redraw again. A handle that names no widget returns 0 and does nothing. Must be
// called on the thread that runs the widgets.
#ifndef QVR_TOOLKIT_WINDOW_MESSAGES_H_
#define QVR_TOOLKIT_WINDOW_MESSAGES_H_

#include <cstdint>

namespace qvr::toolkit {

class Widget;

int32_t SendMessageA(int32_t hWnd, int32_t wMsg, int32_t wParam, int32_t lParam);

// The widget behind a window handle, or nullptr.
Widget* WidgetFromHandle(int32_t hWnd);

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_WINDOW_MESSAGES_H_
