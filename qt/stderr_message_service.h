// StderrMessageService: message boxes for a run without a person: each box is
// written to standard error as "qvr-browser: TITLE: TEXT" and answered OK.
#ifndef QVR_QT_STDERR_MESSAGE_SERVICE_H_
#define QVR_QT_STDERR_MESSAGE_SERVICE_H_

#include "toolkit/message_service.h"

namespace qvr::browser {

class StderrMessageService : public toolkit::MessageService {
 public:
  int32_t MsgBox(const std::string& Prompt, int32_t Buttons, const std::string& Title) override;
  int Count() const { return count_; }

 private:
  int count_ = 0;
};

}  // namespace qvr::browser

#endif  // QVR_QT_STDERR_MESSAGE_SERVICE_H_
