// MessageService: shows a message box to the person using the program.
//
// The widgets' owner reports failures through it: a prompt, a style (the sum
// of one buttons value and one icon value, e.g. vbOKOnly + vbCritical) and a
// title. A window front end shows a real box and returns the button pressed;
// without a display RecordingMessageService keeps what would have been shown.
#ifndef QVR_TOOLKIT_MESSAGE_SERVICE_H_
#define QVR_TOOLKIT_MESSAGE_SERVICE_H_

#include <cstdint>
#include <string>

namespace qvr::toolkit {

class MessageService {
 public:
  virtual ~MessageService() = default;
  // Shows the box and returns the button chosen (a MsgBoxResult).
  virtual int32_t MsgBox(const std::string& Prompt, int32_t Buttons, const std::string& Title) = 0;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_MESSAGE_SERVICE_H_
