// StatusBar: a bar of text panels along the bottom edge of its container.
//
// It starts with one panel. Panels are numbered from 1; Panels(i) for a
// number that is not a panel raises 35600. The bar is 315 twips high until a
// view that knows its real font sets Height.
#ifndef QVR_TOOLKIT_STATUS_BAR_H_
#define QVR_TOOLKIT_STATUS_BAR_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/panel.h"
#include "toolkit/widget.h"

namespace qvr::toolkit {

class StatusBar : public Widget {
 public:
  StatusBar();

  // The panel at a 1-based position.
  Panel& Panels(int32_t position);
  int32_t PanelCount() const { return static_cast<int32_t>(panels_.size()); }
  // Appends a panel and returns it.
  Panel& AddPanel();

 private:
  std::vector<std::unique_ptr<Panel>> panels_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_STATUS_BAR_H_
