#include "toolkit/widget.h"

#include <algorithm>
#include <unordered_map>

#include "automation/automation_error.h"
#include "toolkit/toolkit_constants.h"
#include "toolkit/window_messages.h"

namespace qvr::toolkit {
namespace {

// Handles are process-wide and the widgets live on one thread.
struct HandleTable {
  int32_t next = 0x10000;
  std::unordered_map<int32_t, Widget*> widgets;
};
HandleTable& Handles() {
  static HandleTable table;
  return table;
}

}  // namespace

Widget::Widget() {
  HandleTable& table = Handles();
  hwnd_ = table.next;
  table.next += 4;  // window handles are multiples of 4, as on the platform
  table.widgets.emplace(hwnd_, this);
}

Widget::~Widget() { Handles().widgets.erase(hwnd_); }

void Widget::Move(float Left, float Top, float Width, float Height) {
  if (Width < 0 || Height < 0) throw AutomationError(380, "Widget", "Invalid property value");
  if (Left == left_ && Top == top_ && Width == width_ && Height == height_) return;
  left_ = Left;
  top_ = Top;
  width_ = Width;
  height_ = Height;
  NotifyMoved();
}

void Widget::AddWidgetObserver(WidgetObserver* observer) { observers_.Add(observer); }

void Widget::RemoveWidgetObserver(WidgetObserver* observer) { observers_.Remove(observer); }

int32_t Widget::WindowProc(int32_t wMsg, int32_t wParam, int32_t lParam) {
  if (wMsg == WM_SETREDRAW && redraw_ != (wParam != 0)) {
    redraw_ = wParam != 0;
    NotifyPropertyChanged(WidgetProperty::kRedraw);
  }
  return 0;
}

void Widget::NotifyMoved() {
  observers_.ForEach([this](WidgetObserver& o) { o.WidgetMoved(*this); });
}

void Widget::NotifyPropertyChanged(WidgetProperty property) {
  observers_.ForEach([&](WidgetObserver& o) { o.WidgetPropertyChanged(*this, property); });
}

int32_t SendMessageA(int32_t hWnd, int32_t wMsg, int32_t wParam, int32_t lParam) {
  Widget* widget = WidgetFromHandle(hWnd);
  return widget ? widget->WindowProc(wMsg, wParam, lParam) : 0;
}

Widget* WidgetFromHandle(int32_t hWnd) {
  auto& widgets = Handles().widgets;
  auto it = widgets.find(hWnd);
  return it == widgets.end() ? nullptr : it->second;
}

}  // namespace qvr::toolkit
