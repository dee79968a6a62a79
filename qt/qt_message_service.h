// QtMessageService: the toolkit's message boxes as QMessageBox.
//
// The style value picks the buttons (low four bits: OK, OK/Cancel,
// Abort/Retry/Ignore, Yes/No/Cancel, Yes/No, Retry/Cancel) and the icon (16
// critical, 32 question, 48 warning, 64 information). An empty title shows
// the application's name, as message boxes do by default.
#ifndef QVR_QT_QT_MESSAGE_SERVICE_H_
#define QVR_QT_QT_MESSAGE_SERVICE_H_

#include <QMessageBox>
#include <memory>

#include "toolkit/message_service.h"

class QWidget;

namespace qvr::view {

class QtMessageService : public toolkit::MessageService {
 public:
  // Boxes are modal to `parent` (may be null).
  explicit QtMessageService(QWidget* parent = nullptr) : parent_(parent) {}

  int32_t MsgBox(const std::string& Prompt, int32_t Buttons, const std::string& Title) override;

  // The box MsgBox shows, not yet shown.
  static std::unique_ptr<QMessageBox> BuildBox(const std::string& Prompt, int32_t Buttons,
                                               const std::string& Title, QWidget* parent);
  // The answer for a button the person pressed.
  static int32_t ResultOf(QMessageBox::StandardButton button);

 private:
  QWidget* parent_;
};

}  // namespace qvr::view

#endif  // QVR_QT_QT_MESSAGE_SERVICE_H_
