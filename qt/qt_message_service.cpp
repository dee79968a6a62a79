#include "qt/qt_message_service.h"

#include <QCoreApplication>

#include "toolkit/toolkit_constants.h"

namespace qvr::view {

using namespace toolkit;

std::unique_ptr<QMessageBox> QtMessageService::BuildBox(const std::string& Prompt, int32_t Buttons,
                                                        const std::string& Title, QWidget* parent) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (Buttons & 0x70) {
    case vbCritical: icon = QMessageBox::Critical; break;
    case vbQuestion: icon = QMessageBox::Question; break;
    case vbExclamation: icon = QMessageBox::Warning; break;
    case vbInformation: icon = QMessageBox::Information; break;
    default: break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (Buttons & 0x0F) {
    case vbOKCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case vbAbortRetryIgnore: buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore; break;
    case vbYesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case vbYesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case vbRetryCancel: buttons = QMessageBox::Retry | QMessageBox::Cancel; break;
    default: break;
  }
  QString title = Title.empty() ? QCoreApplication::applicationName() : QString::fromStdString(Title);
  return std::make_unique<QMessageBox>(icon, title, QString::fromStdString(Prompt), buttons, parent);
}

int32_t QtMessageService::ResultOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Cancel: return vbCancel;
    case QMessageBox::Abort: return vbAbort;
    case QMessageBox::Retry: return vbRetry;
    case QMessageBox::Ignore: return vbIgnore;
    case QMessageBox::Yes: return vbYes;
    case QMessageBox::No: return vbNo;
    default: return vbOK;
  }
}

int32_t QtMessageService::MsgBox(const std::string& Prompt, int32_t Buttons, const std::string& Title) {
  auto box = BuildBox(Prompt, Buttons, Title, parent_);
  return ResultOf(static_cast<QMessageBox::StandardButton>(box->exec()));
}

}  // namespace qvr::view
