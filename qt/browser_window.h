// BrowserWindow: the main window of qvr-browser: a machine field with a Show
// button (this machine when empty), a switch between single and multiple
// selection, an Export button, and the registry browser below them.
//
// The selection switch is applied the way a container applies a changed
// property: through the control's property restore, which also turns the
// check boxes on or off. Export asks the control for the pick on a new
// document whose root element is <RegistryPick>, shows the XML and offers to
// save it. The control's properties (the property bag's text form), the
// machine and the window's size are remembered with QSettings.
#ifndef QVR_QT_BROWSER_WINDOW_H_
#define QVR_QT_BROWSER_WINDOW_H_

#include <QCheckBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <string>

#include "qt/registry_browser_widget.h"

namespace qvr::browser {

class BrowserWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `messages` (may be null for real message boxes) must outlive the window.
  // With `use_settings` false nothing is read from or written to the settings.
  BrowserWindow(toolkit::MessageService* messages, bool use_settings);
  ~BrowserWindow() override;

  view::RegistryBrowserWidget& Browser() { return *browser_; }
  ctlRegistry& Control() { return browser_->Control(); }

  // The text of the machine field (after LoadSettings: the machine shown last).
  std::string MachineField() const { return machine_->text().trimmed().toStdString(); }
  // Shows a machine ("" for this one); false when it cannot be reached, after
  // a message that says why. When this machine's store cannot be opened at
  // all, that is said once and nothing is shown. What a machine shown has
  // to tell (the keys a Windows installation left out) is said once, as
  // information.
  bool ShowMachine(const std::string& machine);
  // Switches between single and multiple selection.
  void SetMultipleSelection(bool multiple);
  bool MultipleSelection() const;
  // The pick as an XML document's text.
  std::string ExportXml();

  void LoadSettings();
  void SaveSettings();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnShowClicked();
  void OnExportClicked();

  toolkit::MessageService& Messages();
  // Why the registry of `machine` cannot be shown, as the registry says it.
  std::string Unreachable(const std::string& machine);

  view::QtMessageService qt_messages_;
  toolkit::MessageService* messages_;
  bool use_settings_;
  bool store_failure_shown_ = false;
  view::RegistryBrowserWidget* browser_;
  QLineEdit* machine_;
  QPushButton* show_;
  QCheckBox* multiple_;
  QPushButton* export_;
};

}  // namespace qvr::browser

#endif  // QVR_QT_BROWSER_WINDOW_H_
