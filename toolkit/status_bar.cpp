#include "toolkit/status_bar.h"

#include "toolkit/toolkit_errors.h"

namespace qvr::toolkit {

StatusBar::StatusBar() {
  Move(0, 0, 0, 315);
  AddPanel();
}

Panel& StatusBar::Panels(int32_t position) {
  if (position < 1 || position > PanelCount()) throw IndexOutOfBounds("StatusBar");
  return *panels_[static_cast<size_t>(position - 1)];
}

Panel& StatusBar::AddPanel() {
  panels_.push_back(std::make_unique<Panel>([this] { NotifyPropertyChanged(WidgetProperty::kPanels); }));
  return *panels_.back();
}

}  // namespace qvr::toolkit
