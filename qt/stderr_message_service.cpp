#include "qt/stderr_message_service.h"

#include <cstdio>

#include "toolkit/toolkit_constants.h"

namespace qvr::browser {

int32_t StderrMessageService::MsgBox(const std::string& Prompt, int32_t Buttons,
                                     const std::string& Title) {
  ++count_;
  std::fprintf(stderr, "qvr-browser: %s%s%s\n", Title.c_str(), Title.empty() ? "" : ": ",
               Prompt.c_str());
  return toolkit::vbOK;
}

}  // namespace qvr::browser
