// WidgetObserver: what a view hears about a widget's place and look.
//
// The widgets never draw; a view that shows them registers as an observer and
// repaints, moves or restyles its own widgets when told. Every method has an
// empty default so an observer overrides only what it shows.
#ifndef QVR_TOOLKIT_WIDGET_OBSERVER_H_
#define QVR_TOOLKIT_WIDGET_OBSERVER_H_

namespace qvr::toolkit {

class Widget;

// Which look-related property of a widget changed.
enum class WidgetProperty {
  kMousePointer,
  kBackColor,
  kCheckboxes,
  kRedraw,        // the redraw switch (window message 11)
  kRefresh,       // the caller asked for a repaint
  kSort,          // Sorted, SortKey or SortOrder of a list
  kArrange,       // arrangement of a list
  kColumns,       // a list column was added or changed width
  kPanels,        // a status bar panel's text changed
  kEnabled,       // a timer was switched on or off
};

class WidgetObserver {
 public:
  virtual ~WidgetObserver() = default;
  // The widget's Left, Top, Width or Height changed.
  virtual void WidgetMoved(Widget& widget) {}
  virtual void WidgetPropertyChanged(Widget& widget, WidgetProperty property) {}
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_WIDGET_OBSERVER_H_
