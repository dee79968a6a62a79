// BrowserWindow: the main window of qvr-browser. Along the top, a menu bar
// (File, Edit, View, Help: every action with its key), the machine combo box
// with a Show button (this machine when empty; the machine table's names and
// the recent machines are offered), the selection switch and Export; then the
// address bar, the registry browser, and a status bar with the key's path,
// its last-write time, the machine and the number of picked items.
//
// Everything the window does to the control goes through the control's own
// interface or its widgets' User... actions, as a person's clicks would: the
// address bar opens a path level by level, the selection switch is applied
// the way a container applies a changed property (the property restore, which
// also turns the check boxes on or off). Value details are read through the
// registry calls from the selected key, never from the list's text.
//
// Edit > Find (Ctrl+F) shows the find panel below the browser; it searches
// the selected key's tree or the whole machine on a worker thread, and opens
// a result (double click, or F3 for the next one) through GoTo and a click on
// the value's row. Closing the window stops a running search.
//
// Hives mounted with Open hive file are offered for unloading when the window
// closes. The control's properties, the machine, the recent machines, the
// splitter bar's place (read from the bar, which a person's drag moves while
// DividerPosition stays), the list's column widths and the window's geometry
// are remembered with QSettings. All of it runs on the GUI thread.
#ifndef QVR_QT_BROWSER_WINDOW_H_
#define QVR_QT_BROWSER_WINDOW_H_

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "qt/find_panel.h"
#include "qt/registry_browser_widget.h"
#include "qt/value_details.h"
#include "registry/status.h"

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
  std::string MachineField() const { return machine_->currentText().trimmed().toStdString(); }
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
  // Writes the pick `xml` (as ExportXml gave it) to `path`: the document
  // itself, or, `as_reg`, a .reg file of its keys and values, read again
  // from the registry.
  Status SavePick(const std::string& xml, const std::string& path, bool as_reg);

  // The full path of the selected key ("HKEY_LOCAL_MACHINE\SOFTWARE", with
  // "\\MACHINE\" in front for another machine); "" on the computer node.
  std::string SelectedKeyPath() const;
  // Opens `path` (long or short hive names, any letter case, "\\MACHINE\"
  // in front for another machine) level by level and clicks it. When a part
  // is missing the longest existing part is opened, `*note` says which part
  // is missing, and false is returned.
  bool GoTo(const std::string& path, std::string* note);
  // Opens the details of `row`, or of the current value row when null (false,
  // after a note, when there is none or it cannot be read). The dialog stays
  // open beside the window; LastDetails is the one opened last.
  bool ShowValueDetails(toolkit::ListItemPtr row = nullptr);
  view::ValueDetailsDialog* LastDetails() const { return details_; }
  // The find panel (hidden until Find).
  view::FindPanel& Find() { return *find_; }
  // Opens result `row` of the find panel: its key, and the value's row as a
  // click selects it; false, after a note, when the key or value is gone.
  bool OpenFound(int row);
  // Reads the value of the selected key that `row` shows.
  LONG ReadRow(const toolkit::ListItemPtr& row, view::ValueBytes* value) const;
  // Mounts the hive file `file` as `name` below `hive` (HKEY_LOCAL_MACHINE
  // or HKEY_USERS of the machine shown), refreshes and opens it.
  Status MountHive(HKEY hive, const std::string& name, const std::string& file);
  // A hive file mounted here: below `hive` of `machine` ("" for this one).
  struct Mount {
    std::string machine;
    HKEY hive;
    std::string name;
  };
  const std::vector<Mount>& MountedHives() const { return mounted_; }
  // Offers to unload every hive mounted here; true when the window may close.
  void OfferUnload();
  // The recent machines, most recent first.
  const QStringList& RecentMachines() const { return recent_; }

  // The status bar's fields and the window's note (the last thing said there).
  QString StatusField(const char* name) const;
  void UpdateStatus();

  void LoadSettings();
  void SaveSettings();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Events;

  void BuildMenus();
  QAction* AddAction(QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                     void (BrowserWindow::*slot)());
  // The context menu of the tree or the list, for what is under `pos`.
  void ShowContextMenu(QWidget* view, const QPoint& pos);
  void RefillMachines();
  void RememberMachine(const std::string& machine);

  void OnShowClicked();
  void OnShowMachineDialog();
  void OnOpenHive();
  void OnImportReg();
  void OnExportKey();
  void OnExportClicked();
  void OnQuit();
  void OnCopyKeyPath();
  void OnCopyValueData();
  void OnRefresh();
  void OnGoToKey();
  void OnValueDetails();
  void OnFind();
  void OnFindNext();
  void OnFindRequested();
  void OnShortcuts();
  void OnAbout();
  void OnAddressEntered();
  void Note(const std::string& text);

  toolkit::NodePtr SelectedNode() const;
  toolkit::ListItemPtr CurrentRow() const;
  // Opens the selected key for reading; 0 when there is none.
  HKEY OpenSelectedKey() const;
  // A hive of `machine` ("" for this one): the predefined handle or a
  // connected one (closed by the caller); 0 when it cannot be reached.
  HKEY MachineHive(HKEY hive, const std::string& machine) const;

  toolkit::MessageService& Messages();
  // Why the registry of `machine` cannot be shown, as the registry says it.
  std::string Unreachable(const std::string& machine);

  view::QtMessageService qt_messages_;
  toolkit::MessageService* messages_;
  bool use_settings_;
  bool store_failure_shown_ = false;
  std::string machine_shown_;
  view::RegistryBrowserWidget* browser_;
  QComboBox* machine_;
  QPushButton* show_;
  QCheckBox* multiple_;
  QPushButton* export_;
  QLineEdit* address_;
  QLabel* status_path_;
  QLabel* status_time_;
  QLabel* status_machine_;
  QLabel* status_picks_;
  QMenu* recent_menu_ = nullptr;
  QMenu* context_menu_ = nullptr;
  QTimer picks_timer_;
  QStringList recent_;
  QString note_;
  int32_t remembered_divider_ = 0;  // the bar's top to restore once shown
  std::vector<Mount> mounted_;
  view::FindPanel* find_;
  QDockWidget* find_dock_;
  QPointer<view::ValueDetailsDialog> details_;
  std::shared_ptr<Events> events_;
  uint32_t events_cookie_ = 0;
};

}  // namespace qvr::browser

#endif  // QVR_QT_BROWSER_WINDOW_H_
