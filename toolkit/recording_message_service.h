// RecordingMessageService: a MessageService for hosts without a display.
//
// Every box is kept, in order, and answered with OK (vbOK), the answer of a
// box that has only an OK button.
#ifndef QVR_TOOLKIT_RECORDING_MESSAGE_SERVICE_H_
#define QVR_TOOLKIT_RECORDING_MESSAGE_SERVICE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/message_service.h"

namespace qvr::toolkit {

struct RecordedMessage {
  std::string Prompt;
  int32_t Buttons = 0;
  std::string Title;
  bool operator==(const RecordedMessage&) const = default;
};

class RecordingMessageService : public MessageService {
 public:
  int32_t MsgBox(const std::string& Prompt, int32_t Buttons, const std::string& Title) override;

  const std::vector<RecordedMessage>& Messages() const { return messages_; }
  void Clear() { messages_.clear(); }

 private:
  std::vector<RecordedMessage> messages_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_RECORDING_MESSAGE_SERVICE_H_
