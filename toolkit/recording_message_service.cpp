#include "toolkit/recording_message_service.h"

#include "toolkit/toolkit_constants.h"

namespace qvr::toolkit {

int32_t RecordingMessageService::MsgBox(const std::string& Prompt, int32_t Buttons,
                                        const std::string& Title) {
  messages_.push_back(RecordedMessage{Prompt, Buttons, Title});
  return vbOK;
}

}  // namespace qvr::toolkit
