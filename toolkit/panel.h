// Panel: one panel of a status bar, holding a text.
#ifndef QVR_TOOLKIT_PANEL_H_
#define QVR_TOOLKIT_PANEL_H_

#include <functional>
#include <string>

namespace qvr::toolkit {

class Panel {
 public:
  // `changed` is told after every change of the text.
  explicit Panel(std::function<void()> changed) : changed_(std::move(changed)) {}

  const std::string& Text() const { return text_; }
  void Text(std::string vData) {
    if (text_ == vData) return;
    text_ = std::move(vData);
    if (changed_) changed_();
  }

 private:
  std::string text_;
  std::function<void()> changed_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_PANEL_H_
