#include "qt/browser_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

#include "base/unicode.h"
#include "control/ctl_registry_events.h"
#include "control/export_text.h"
#include "control/pick_reg_file.h"
#include "qt/picker.h"
#include "regfile/atomic_file.h"
#include "regfile/reg_file_exporter.h"
#include "regfile/reg_file_importer.h"
#include "registry/hive_names.h"
#include "registry/registry_service.h"
#include "toolkit/toolkit.h"
#include "xml/dom_document.h"

namespace qvr::browser {
namespace {

constexpr const char* kTitle = "Registry Browser";
constexpr int kRecentMachines = 8;

// The names from the hive node down to `node`; empty for the computer node.
std::vector<std::string> NodeNames(toolkit::NodePtr node) {
  std::vector<std::string> names;
  for (; node && node->Parent(); node = node->Parent()) names.insert(names.begin(), node->Text());
  return names;
}

}  // namespace

// Keeps the status bar and the address bar up to date with the control's
// clicks; it holds the window only while the window lives (Unadvise).
class BrowserWindow::Events : public ctlRegistryEvents {
 public:
  explicit Events(BrowserWindow* window) : window_(window) {}
  void evtSingleClick(bool&) override {
    QTimer::singleShot(0, window_, [w = window_] { w->UpdateStatus(); });
  }

 private:
  BrowserWindow* window_;
};

BrowserWindow::BrowserWindow(toolkit::MessageService* messages, bool use_settings)
    : qt_messages_(this), messages_(messages), use_settings_(use_settings) {
  setWindowTitle(kTitle);
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  auto* bar = new QHBoxLayout();
  bar->addWidget(new QLabel("Machine:", central));
  machine_ = new QComboBox(central);
  machine_->setObjectName("machine");
  machine_->setEditable(true);
  machine_->setInsertPolicy(QComboBox::NoInsert);
  machine_->lineEdit()->setPlaceholderText("this machine");
  bar->addWidget(machine_, 1);
  show_ = new QPushButton("Show", central);
  bar->addWidget(show_);
  multiple_ = new QCheckBox("Multiple selection", central);
  bar->addWidget(multiple_);
  export_ = new QPushButton("Export...", central);
  bar->addWidget(export_);
  layout->addLayout(bar);
  address_ = new QLineEdit(central);
  address_->setObjectName("address");
  address_->setPlaceholderText("Key path, e.g. HKLM\\SOFTWARE (Ctrl+L)");
  layout->addWidget(address_);
  browser_ = new view::RegistryBrowserWidget(central, messages);
  layout->addWidget(browser_, 1);
  setCentralWidget(central);

  status_path_ = new QLabel(this);
  status_time_ = new QLabel(this);
  status_machine_ = new QLabel(this);
  status_picks_ = new QLabel(this);
  status_path_->setObjectName("path");
  status_time_->setObjectName("lastWrite");
  status_machine_->setObjectName("machineShown");
  status_picks_->setObjectName("picks");
  statusBar()->addWidget(status_path_, 1);
  statusBar()->addPermanentWidget(status_time_);
  statusBar()->addPermanentWidget(status_machine_);
  statusBar()->addPermanentWidget(status_picks_);

  find_ = new view::FindPanel(this);
  find_dock_ = new QDockWidget("Find", this);
  find_dock_->setObjectName("findDock");
  find_dock_->setWidget(find_);
  addDockWidget(Qt::BottomDockWidgetArea, find_dock_);
  find_dock_->hide();
  connect(find_, &view::FindPanel::findRequested, this, &BrowserWindow::OnFindRequested);
  connect(find_, &view::FindPanel::openRequested, this, &BrowserWindow::OpenFound);

  BuildMenus();
  RefillMachines();

  connect(show_, &QPushButton::clicked, this, &BrowserWindow::OnShowClicked);
  connect(machine_->lineEdit(), &QLineEdit::returnPressed, this, &BrowserWindow::OnShowClicked);
  connect(multiple_, &QCheckBox::toggled, this, [this](bool on) { SetMultipleSelection(on); });
  connect(export_, &QPushButton::clicked, this, &BrowserWindow::OnExportClicked);
  connect(address_, &QLineEdit::returnPressed, this, &BrowserWindow::OnAddressEntered);
  connect(browser_->Tree().selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { QTimer::singleShot(0, this, &BrowserWindow::UpdateStatus); });

  for (QWidget* view :
       {static_cast<QWidget*>(&browser_->Tree()), static_cast<QWidget*>(&browser_->List())}) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& pos) { ShowContextMenu(view, pos); });
  }
  browser_->List().installEventFilter(this);
  browser_->List().viewport()->installEventFilter(this);

  events_ = std::make_shared<Events>(this);
  events_cookie_ = Control().Advise(events_);
  // Ticks reach the pick a moment later (the control's timer): the count is
  // read again twice a second.
  picks_timer_.setInterval(500);
  connect(&picks_timer_, &QTimer::timeout, this, [this] {
    status_picks_->setText(QString("%1 picked").arg(Control().Selection().Count()));
  });
  picks_timer_.start();
  UpdateStatus();
}

BrowserWindow::~BrowserWindow() {
  if (events_cookie_ != 0) Control().Unadvise(events_cookie_);
}

QAction* BrowserWindow::AddAction(QMenu* menu, const char* name, const QString& text,
                                  const QKeySequence& key, void (BrowserWindow::*slot)()) {
  QAction* action = menu->addAction(text);
  action->setObjectName(name);
  if (!key.isEmpty()) {
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
  }
  connect(action, &QAction::triggered, this, slot);
  return action;
}

void BrowserWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  AddAction(file, "showMachine", "Show &machine...", QKeySequence("Ctrl+M"),
            &BrowserWindow::OnShowMachineDialog);
  AddAction(file, "openHive", "&Open hive file...", QKeySequence::Open, &BrowserWindow::OnOpenHive);
  AddAction(file, "importReg", "&Import .reg...", QKeySequence("Ctrl+I"),
            &BrowserWindow::OnImportReg);
  AddAction(file, "exportKey", "&Export key as .reg...", QKeySequence("Ctrl+E"),
            &BrowserWindow::OnExportKey);
  AddAction(file, "exportPick", "Export &pick...", QKeySequence("Ctrl+Shift+E"),
            &BrowserWindow::OnExportClicked);
  file->addSeparator();
  recent_menu_ = file->addMenu("&Recent machines");
  file->addSeparator();
  AddAction(file, "quit", "&Quit", QKeySequence("Ctrl+Q"), &BrowserWindow::OnQuit);

  QMenu* edit = menuBar()->addMenu("&Edit");
  AddAction(edit, "copyKeyPath", "Copy key &path", QKeySequence("Ctrl+Shift+C"),
            &BrowserWindow::OnCopyKeyPath);
  AddAction(edit, "copyValueData", "Copy value &data", QKeySequence("Ctrl+C"),
            &BrowserWindow::OnCopyValueData);
  edit->addSeparator();
  AddAction(edit, "find", "&Find...", QKeySequence::Find, &BrowserWindow::OnFind);
  AddAction(edit, "findNext", "Find &next", QKeySequence("F3"), &BrowserWindow::OnFindNext);

  QMenu* view = menuBar()->addMenu("&View");
  AddAction(view, "refresh", "&Refresh", QKeySequence("F5"), &BrowserWindow::OnRefresh);
  AddAction(view, "goToKey", "&Go to key", QKeySequence("Ctrl+L"), &BrowserWindow::OnGoToKey);
  AddAction(view, "valueDetails", "Value &details", QKeySequence("Alt+Return"),
            &BrowserWindow::OnValueDetails);

  QMenu* help = menuBar()->addMenu("&Help");
  AddAction(help, "shortcuts", "&Keyboard shortcuts", QKeySequence("F1"),
            &BrowserWindow::OnShortcuts);
  AddAction(help, "about", "&About", QKeySequence(), &BrowserWindow::OnAbout);

  context_menu_ = new QMenu(this);
  context_menu_->setObjectName("contextMenu");
  connect(context_menu_, &QMenu::aboutToHide, this, [this] {
    findChild<QAction*>("valueDetails")->setEnabled(true);
    findChild<QAction*>("copyValueData")->setEnabled(true);
  });
  for (const char* name : {"copyKeyPath", "copyValueData", "valueDetails", "refresh", "exportKey"})
    context_menu_->addAction(findChild<QAction*>(name));
}

void BrowserWindow::ShowContextMenu(QWidget* view, const QPoint& pos) {
  // The menu acts on what was clicked: a node is clicked as a left click
  // would click it, a row becomes the current row.
  view::TreeViewWidget& tree = browser_->Tree();
  view::ListViewWidget& list = browser_->List();
  if (view == &tree) {
    toolkit::Node* node =
        tree.indexAt(pos).isValid() ? tree.Model().NodeAt(tree.indexAt(pos)) : nullptr;
    if (node && node != SelectedNode().get()) Control().tvReg().UserClick(node->shared_from_this());
  } else if (list.indexAt(pos).isValid()) {
    list.setCurrentIndex(list.indexAt(pos));
  }
  const bool on_row = view == &list && CurrentRow();
  findChild<QAction*>("valueDetails")->setEnabled(on_row);
  findChild<QAction*>("copyValueData")->setEnabled(on_row);
  context_menu_->popup(static_cast<QAbstractScrollArea*>(view)->viewport()->mapToGlobal(pos));
}

toolkit::MessageService& BrowserWindow::Messages() {
  return messages_ ? *messages_ : static_cast<toolkit::MessageService&>(qt_messages_);
}

void BrowserWindow::Note(const std::string& text) {
  note_ = QString::fromStdString(text);
  statusBar()->showMessage(note_, 8000);
}

// ---- Machines ----

bool BrowserWindow::ShowMachine(const std::string& machine) {
  machine_->setEditText(QString::fromStdString(machine));
  Status store;
  if (!CurrentRegistryService(&store)) {
    // Every node would show the same failure; say it once instead.
    if (!store_failure_shown_) {
      Messages().MsgBox(store.ToString() + ".", toolkit::vbOKOnly + toolkit::vbCritical, kTitle);
      store_failure_shown_ = true;
    }
    return false;
  }
  if (Control().Show(machine)) {
    // The window writes the "\\\\" itself, in paths and in the title.
    machine_shown_ = machine.substr(std::min(machine.find_first_not_of('\\'), machine.size()));
    auto service = CurrentRegistryService();
    std::string note = service && !machine.empty() ? service->TakeMachineNote(machine.c_str()) : "";
    if (!note.empty()) Messages().MsgBox(note, toolkit::vbOKOnly + toolkit::vbInformation, kTitle);
    RememberMachine(machine_shown_);
    UpdateStatus();
    return true;
  }
  Messages().MsgBox(Unreachable(machine), toolkit::vbOKOnly + toolkit::vbExclamation, kTitle);
  return false;
}

std::string BrowserWindow::Unreachable(const std::string& machine) {
  std::string text = "Cannot reach the registry of " + machine;
  auto service = CurrentRegistryService();
  HKEY hive = 0;
  Status why =
      service ? service->ConnectMachine(machine.c_str(), HKEY_LOCAL_MACHINE, &hive) : Status::OK();
  if (why.ok()) {
    if (hive != 0) service->CloseKey(hive);
    return text + ".";
  }
  return text + ": " + why.ToString();
}

void BrowserWindow::RememberMachine(const std::string& machine) {
  if (machine.empty()) return;
  const QString name = QString::fromStdString(machine);
  recent_.removeIf([&](const QString& m) { return m.compare(name, Qt::CaseInsensitive) == 0; });
  recent_.prepend(name);
  while (recent_.size() > kRecentMachines) recent_.removeLast();
  RefillMachines();
}

void BrowserWindow::RefillMachines() {
  const QString text = machine_->currentText();
  QStringList names = recent_;
  if (auto service = CurrentRegistryService()) {
    for (const std::string& name : service->MachineNames()) {
      const QString n = QString::fromStdString(name);
      if (!names.contains(n, Qt::CaseInsensitive)) names << n;
    }
  }
  {
    QSignalBlocker block(machine_);
    machine_->clear();
    machine_->addItems(names);
    machine_->setEditText(text);
  }
  recent_menu_->clear();
  for (const QString& name : recent_) {
    recent_menu_->addAction(name, this, [this, name] { ShowMachine(name.toStdString()); });
  }
  recent_menu_->setEnabled(!recent_.isEmpty());
}

void BrowserWindow::OnShowClicked() { ShowMachine(MachineField()); }

void BrowserWindow::OnShowMachineDialog() {
  QStringList names;
  for (int i = 0; i < machine_->count(); ++i) names << machine_->itemText(i);
  bool ok = false;
  QString name = QInputDialog::getItem(this, "Show machine", "Machine (empty for this one):", names,
                                       0, true, &ok);
  if (ok) ShowMachine(name.trimmed().toStdString());
}

HKEY BrowserWindow::MachineHive(HKEY hive, const std::string& machine) const {
  if (machine.empty()) return hive;
  auto service = CurrentRegistryService();
  HKEY connected = 0;
  if (!service || !service->ConnectMachine(machine.c_str(), hive, &connected).ok()) return 0;
  return connected;
}

// ---- Selection ----

void BrowserWindow::SetMultipleSelection(bool multiple) {
  toolkit::PropertyBag bag;
  Control().UserControl_WriteProperties(bag);
  bag.WriteProperty("SelectionType", int32_t{multiple ? 1 : 0}, int32_t{0});
  Control().UserControl_ReadProperties(bag);
  if (multiple_->isChecked() != multiple) {
    QSignalBlocker block(multiple_);
    multiple_->setChecked(multiple);
  }
}

bool BrowserWindow::MultipleSelection() const {
  return browser_->Control().SelectionType() == MultiSelect;
}

toolkit::NodePtr BrowserWindow::SelectedNode() const {
  return browser_->Control().tvReg().SelectedItem();
}

toolkit::ListItemPtr BrowserWindow::CurrentRow() const {
  view::ListViewWidget& list = browser_->List();
  if (list.currentIndex().isValid()) return list.Model().ItemAt(list.currentIndex());
  return browser_->Control().lvValues().SelectedItem();
}

std::string BrowserWindow::SelectedKeyPath() const {
  std::string path = machine_shown_.empty() ? "" : "\\\\" + machine_shown_;
  for (const std::string& name : NodeNames(SelectedNode()))
    path += (path.empty() ? "" : "\\") + name;
  return path;
}

HKEY BrowserWindow::OpenSelectedKey() const {
  std::vector<std::string> names = NodeNames(SelectedNode());
  const HiveName* hive = names.empty() ? nullptr : FindHive(names[0]);
  if (!hive) return 0;
  std::string sub;
  for (size_t i = 1; i < names.size(); ++i) sub += (i > 1 ? "\\" : "") + names[i];
  HKEY root = MachineHive(hive->hive, machine_shown_);
  if (root == 0) return 0;
  HKEY key = 0;
  LONG rc = RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, &key);
  if (root != hive->hive) RegCloseKey(root);
  return rc == ERROR_SUCCESS ? key : 0;
}

bool BrowserWindow::GoTo(const std::string& text, std::string* note) {
  std::string rest = QString::fromStdString(text).trimmed().toStdString();
  std::string machine = machine_shown_;
  if (rest.rfind("\\\\", 0) == 0) {
    size_t end = rest.find('\\', 2);
    machine = rest.substr(2, end == std::string::npos ? std::string::npos : end - 2);
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
  }
  if (!EqualsNoCase(machine, machine_shown_) && !ShowMachine(machine)) {
    *note = "Cannot show the machine " + machine + ".";
    Note(*note);
    return false;
  }
  std::vector<std::string> parts = view::SplitKeyPath(rest);
  if (!parts.empty()) {
    const HiveName* hive = FindHive(parts[0]);
    if (!hive) {
      *note = parts[0] + " is not a hive (HKEY_LOCAL_MACHINE, HKLM, HKCU, ...).";
      Note(*note);
      return false;
    }
    parts[0] = hive->full;
  }
  toolkit::TreeView& tree = Control().tvReg();
  size_t opened = 0;
  toolkit::NodePtr node = view::OpenPath(tree, parts, &opened);
  if (!node) {
    *note = "The tree is empty.";
    Note(*note);
    return false;
  }
  note->clear();
  if (opened < parts.size()) {
    std::string reached;
    for (const std::string& name : NodeNames(node)) reached += (reached.empty() ? "" : "\\") + name;
    *note = opened == 0 ? "No hive " + parts[0] + " here."
                        : "No key " + parts[opened] + " under " + reached + ".";
  }
  tree.UserClick(node);
  UpdateStatus();
  if (!note->empty()) Note(*note);
  return note->empty();
}

void BrowserWindow::OnAddressEntered() {
  std::string note;
  GoTo(address_->text().toStdString(), &note);
  if (note.empty()) browser_->Tree().setFocus();
}

// ---- Values ----

LONG BrowserWindow::ReadRow(const toolkit::ListItemPtr& row, view::ValueBytes* value) const {
  HKEY key = OpenSelectedKey();
  if (key == 0) return ERROR_FILE_NOT_FOUND;
  const std::string text = row->Text();
  // The default value is listed as "(default)"; a value really named so is
  // read when the key has no default value.
  LONG rc = ERROR_FILE_NOT_FOUND;
  if (text == export_text::kDefaultName) rc = view::ReadValueBytes(key, "", value);
  if (rc != ERROR_SUCCESS) rc = view::ReadValueBytes(key, text, value);
  RegCloseKey(key);
  value->key_path = SelectedKeyPath();
  return rc;
}

bool BrowserWindow::ShowValueDetails(toolkit::ListItemPtr row) {
  if (!row) row = CurrentRow();
  if (!row) {
    Note("No value is selected.");
    return false;
  }
  view::ValueBytes value;
  LONG rc = ReadRow(row, &value);
  if (rc != ERROR_SUCCESS) {
    Note("Cannot read the value " + row->Text() + " (" + std::to_string(rc) + ").");
    return false;
  }
  if (details_) details_->close();
  details_ = new view::ValueDetailsDialog(value, this);
  details_->setAttribute(Qt::WA_DeleteOnClose);
  details_->show();
  return true;
}

void BrowserWindow::OnValueDetails() { ShowValueDetails(); }

// ---- Find ----

void BrowserWindow::OnFind() {
  find_dock_->show();
  find_->FocusText();
}

void BrowserWindow::OnFindNext() {
  if (find_->Count() == 0 && !find_->Running()) {
    OnFind();
    return;
  }
  find_->OpenNext();
}

void BrowserWindow::OnFindRequested() {
  const SearchOptions options = find_->Options();
  if (options.text.empty()) {
    Note("Type what to find.");
    return;
  }
  if (!options.keys && !options.value_names && !options.data) {
    Note("Tick keys, values or data to look in.");
    return;
  }
  std::vector<view::FindPanel::Top> tops;
  const std::string prefix = machine_shown_.empty() ? "" : "\\\\" + machine_shown_ + "\\";
  if (!find_->FromRoot() && !NodeNames(SelectedNode()).empty()) {
    HKEY key = OpenSelectedKey();
    if (key == 0) {
      Note("Cannot open " + SelectedKeyPath() + ".");
      return;
    }
    tops.push_back({key, SelectedKeyPath(), true});
  } else {
    // The hives in the tree's order; a machine's hive that cannot be reached
    // is left out.
    for (HKEY hive : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                      HKEY_CURRENT_CONFIG}) {
      if (HKEY root = MachineHive(hive, machine_shown_))
        tops.push_back({root, prefix + FindHiveByHandle(hive)->full, root != hive});
    }
  }
  find_->Start(std::move(tops), options);
}

bool BrowserWindow::OpenFound(int row) {
  if (row < 0 || row >= find_->Count()) return false;
  const SearchMatch& match = find_->Result(row);
  std::string note;
  if (!GoTo(match.key_path, &note)) return false;
  if (match.kind == SearchMatch::Kind::kKey) return true;
  // The list names the default value "(default)".
  const std::string text = match.value_name.empty() ? export_text::kDefaultName : match.value_name;
  toolkit::ListItems& items = Control().lvValues().ListItems();
  for (int32_t i = 1; i <= items.Count(); ++i) {
    toolkit::ListItemPtr item = items.Item(i);
    if (item->Text() != text) continue;
    Control().lvValues().UserClickItem(item);
    view::ListViewWidget& list = browser_->List();
    const QModelIndex index = list.Model().IndexFor(item.get());
    list.setCurrentIndex(index);
    list.scrollTo(index);
    return true;
  }
  Note("The value " + text + " is no longer in " + match.key_path + ".");
  return false;
}

void BrowserWindow::OnCopyKeyPath() {
  QApplication::clipboard()->setText(QString::fromStdString(SelectedKeyPath()));
}

void BrowserWindow::OnCopyValueData() {
  toolkit::ListItemPtr row = CurrentRow();
  view::ValueBytes value;
  if (!row || ReadRow(row, &value) != ERROR_SUCCESS) {
    Note("No value is selected.");
    return;
  }
  std::string text;
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
    std::u16string units = LeBytesToUtf16(value.data);
    while (!units.empty() && units.back() == u'\0') units.pop_back();
    for (char16_t& c : units)
      if (c == u'\0') c = u'\n';
    text = Utf16ToUtf8(units);
  } else {
    for (unsigned char c : value.data) {
      static const char kHex[] = "0123456789abcdef";
      if (!text.empty()) text += ' ';
      text += kHex[c >> 4];
      text += kHex[c & 15];
    }
  }
  QApplication::clipboard()->setText(QString::fromStdString(text));
}

// ---- Files ----

Status BrowserWindow::MountHive(HKEY hive, const std::string& name, const std::string& file) {
  auto service = CurrentRegistryService();
  if (!service) return Status::Registry(ERROR_FILE_NOT_FOUND, "no registry store");
  HKEY root = MachineHive(hive, machine_shown_);
  std::string note;
  Status loaded = service->LoadKey(root, name.c_str(), file.c_str(), &note);
  if (root != hive && root != 0) RegCloseKey(root);
  if (!loaded.ok()) return loaded;
  mounted_.push_back(Mount{machine_shown_, hive, name});
  Control().Refresh();
  std::string missing;
  GoTo(std::string(FindHiveByHandle(hive)->full) + "\\" + name, &missing);
  if (!note.empty()) Note(note);
  return Status::OK();
}

void BrowserWindow::OnOpenHive() {
  QString file = QFileDialog::getOpenFileName(this, "Open hive file");
  if (file.isEmpty()) return;
  bool ok = false;
  QString hive = QInputDialog::getItem(
      this, "Open hive file", "Mount below:", {"HKEY_LOCAL_MACHINE", "HKEY_USERS"}, 0, false, &ok);
  if (!ok) return;
  QString name = QInputDialog::getText(this, "Open hive file", "Key name:", QLineEdit::Normal,
                                       QFileInfo(file).completeBaseName(), &ok);
  if (!ok || name.trimmed().isEmpty()) return;
  Status mounted = MountHive(FindHive(hive.toStdString())->hive, name.trimmed().toStdString(),
                             file.toStdString());
  if (!mounted.ok()) {
    Messages().MsgBox("Cannot open the hive file " + file.toStdString() + ": " + mounted.ToString(),
                      toolkit::vbOKOnly + toolkit::vbExclamation, kTitle);
  }
}

void BrowserWindow::OfferUnload() {
  if (mounted_.empty()) return;
  std::string list;
  for (const Mount& m : mounted_) {
    list += "\n" + (m.machine.empty() ? "" : "\\\\" + m.machine + "\\") +
            FindHiveByHandle(m.hive)->full + "\\" + m.name;
  }
  if (Messages().MsgBox("Unload the hive files opened here?" + list,
                        toolkit::vbYesNo + toolkit::vbQuestion, kTitle) != toolkit::vbYes) {
    return;
  }
  // The control keeps no key of a hive open once the computer node is
  // selected, so nothing holds the hives.
  std::string unused;
  GoTo(machine_shown_.empty() ? "" : "\\\\" + machine_shown_, &unused);
  auto service = CurrentRegistryService();
  std::string failures;
  for (const Mount& m : mounted_) {
    HKEY root = MachineHive(m.hive, m.machine);
    Status done = service ? service->UnloadKey(root, m.name.c_str()) : Status::OK();
    if (root != m.hive && root != 0) RegCloseKey(root);
    if (!done.ok()) failures += "\n" + m.name + ": " + done.ToString();
  }
  mounted_.clear();
  if (!failures.empty())
    Messages().MsgBox("Some hives stay mounted:" + failures,
                      toolkit::vbOKOnly + toolkit::vbExclamation, kTitle);
}

void BrowserWindow::OnImportReg() {
  QString file = QFileDialog::getOpenFileName(this, "Import .reg", QString(),
                                              "Registration files (*.reg);;All files (*)");
  auto service = CurrentRegistryService();
  if (file.isEmpty() || !service) return;
  RegFileImporter importer(*service);
  Status done = importer.ImportFile(file.toStdString(), machine_shown_);
  if (!done.ok()) {
    Messages().MsgBox("Cannot import " + file.toStdString() + ": " + done.ToString(),
                      toolkit::vbOKOnly + toolkit::vbExclamation, kTitle);
    return;
  }
  Note("Imported " + std::to_string(importer.keys()) + " keys and " +
       std::to_string(importer.values()) + " values.");
  Control().Refresh();
}

void BrowserWindow::OnExportKey() {
  const std::string key = SelectedKeyPath();
  auto service = CurrentRegistryService();
  if (NodeNames(SelectedNode()).empty() || !service) {
    Note("Select a key to export.");
    return;
  }
  QString file = QFileDialog::getSaveFileName(this, "Export key as .reg", "export.reg",
                                              "Registration files (*.reg);;All files (*)");
  if (file.isEmpty()) return;
  Status done = RegFileExporter(*service).ExportFile(key, file.toStdString());
  if (!done.ok()) {
    Messages().MsgBox("Cannot export " + key + ": " + done.ToString(),
                      toolkit::vbOKOnly + toolkit::vbExclamation, kTitle);
  }
}

std::string BrowserWindow::ExportXml() {
  DOMDocument doc;
  doc.loadXML("<RegistryPick/>");
  Control().GetSelectedDOM(&doc);
  return doc.xml();
}

Status BrowserWindow::SavePick(const std::string& xml, const std::string& path, bool as_reg) {
  DOMDocument doc;
  if (!doc.loadXML(xml)) return Status::IOError("the pick is not a well-formed document");
  if (!as_reg) {
    return doc.save(path) ? Status::OK() : Status::IOError("the file cannot be written");
  }
  // The keys and values come from the registry again, not from the text.
  RegFileWriter writer;
  Status status = WritePickRegFile(Control(), doc, writer);
  std::string bytes;
  writer.TakeOutput(&bytes);
  return status.ok() ? AtomicFile::Write(path, bytes) : status;
}

void BrowserWindow::OnExportClicked() {
  const QString xml = QString::fromStdString(ExportXml());
  QDialog dialog(this);
  dialog.setWindowTitle("Exported pick");
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QPlainTextEdit(xml, &dialog);
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, &dialog);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    QString format;
    QString file = QFileDialog::getSaveFileName(
        &dialog, "Save the pick", "pick.xml",
        "XML documents (*.xml);;Registry files (*.reg);;All files (*)", &format);
    if (file.isEmpty()) return;
    Status saved = SavePick(xml.toStdString(), file.toStdString(),
                            format.startsWith("Registry") || file.endsWith(".reg", Qt::CaseInsensitive));
    if (!saved.ok()) {
      Messages().MsgBox("Cannot write " + file.toStdString() + ": " + saved.ToString(),
                        toolkit::vbOKOnly + toolkit::vbCritical, kTitle);
      return;
    }
    dialog.accept();
  });
  dialog.resize(640, 480);
  dialog.exec();
}

void BrowserWindow::OnQuit() { close(); }

void BrowserWindow::OnRefresh() {
  Control().Refresh();
  UpdateStatus();
}

void BrowserWindow::OnGoToKey() {
  address_->setFocus();
  address_->selectAll();
}

// ---- Help ----

void BrowserWindow::OnShortcuts() {
  QString text;
  for (QAction* action : findChildren<QAction*>()) {
    if (action->objectName().isEmpty() || action->shortcut().isEmpty()) continue;
    text += action->text().remove('&') + "\t" +
            action->shortcut().toString(QKeySequence::NativeText) + "\n";
  }
  text +=
      "Space\tTick or clear the current key or value\nEnter\tValue details of the current row\n";
  QMessageBox::information(this, "Keyboard shortcuts", text);
}

void BrowserWindow::OnAbout() {
  const QString version = QCoreApplication::applicationVersion();
  QMessageBox::about(
      this, "About qvr-browser",
      QString("qvr-browser %1\nA registry browser for Linux.\n\nStore: %2\nMachine table: %3")
          .arg(version.isEmpty() ? QString(QVR_VERSION) : version,
               QString::fromStdString(LocalStorePath()),
               QString::fromStdString(MachineTablePath(LocalStorePath()))));
}

// ---- Status ----

QString BrowserWindow::StatusField(const char* name) const {
  if (std::string_view(name) == "note") return note_;
  const QLabel* label = findChild<QLabel*>(name);
  return label ? label->text() : QString();
}

void BrowserWindow::UpdateStatus() {
  const std::string path = SelectedKeyPath();
  const QString shown = QString::fromStdString(path);
  status_path_->setText(shown);
  if (!address_->hasFocus()) address_->setText(shown);
  std::string when;
  if (HKEY key = OpenSelectedKey()) {
    KeyInfo info;
    if (auto service = CurrentRegistryService();
        service && service->QueryInfoKey(key, &info) == ERROR_SUCCESS)
      when = view::FileTimeText(static_cast<uint64_t>(info.last_write));
    RegCloseKey(key);
  }
  status_time_->setText(when.empty() ? QString() : QString::fromStdString("Changed " + when));
  const QString machine =
      machine_shown_.empty() ? "This machine" : QString::fromStdString("\\\\" + machine_shown_);
  status_machine_->setText(machine);
  status_picks_->setText(QString("%1 picked").arg(Control().Selection().Count()));
  setWindowTitle(path.empty() ? machine + " - " + kTitle
                              : shown + " - " + machine + " - " + kTitle);
}

bool BrowserWindow::eventFilter(QObject* watched, QEvent* event) {
  view::ListViewWidget& list = browser_->List();
  if (watched == list.viewport() && event->type() == QEvent::MouseButtonDblClick) {
    // After the list has handled the double click (the control's own event),
    // for the row under the mouse.
    const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (toolkit::ListItemPtr row = list.Model().ItemAt(list.indexAt(pos)))
      QTimer::singleShot(0, this, [this, row] { ShowValueDetails(row); });
  } else if (watched == &list && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        key->modifiers() == Qt::NoModifier) {
      ShowValueDetails();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- Settings ----

void BrowserWindow::LoadSettings() {
  if (!use_settings_) return;
  QSettings settings;
  toolkit::PropertyBag bag;
  if (bag.FromText(settings.value("control/properties").toString().toStdString())) {
    Control().UserControl_ReadProperties(bag);
    QSignalBlocker block(multiple_);
    multiple_->setChecked(MultipleSelection());
  }
  recent_ = settings.value("recentMachines").toStringList();
  RefillMachines();
  machine_->setEditText(settings.value("machine").toString());
  if (!restoreGeometry(settings.value("window/geometry").toByteArray())) {
    QSize size = settings.value("window/size").toSize();
    if (size.isValid()) resize(size);
  }
  remembered_divider_ = settings.value("window/divider", 0).toInt();
  const QStringList widths = settings.value("list/columns").toStringList();
  toolkit::ColumnHeaders& columns = Control().lvValues().ColumnHeaders();
  for (int i = 0; i < widths.size() && i < columns.Count(); ++i) {
    const float width = widths[i].toFloat();
    if (width > 0) columns.Item(i + 1).Width(width);
  }
}

void BrowserWindow::SaveSettings() {
  if (!use_settings_) return;
  QSettings settings;
  // The bar's place as it is now: a person's drag moves the bar but leaves
  // the DividerPosition property where the host put it.
  Control().DividerPosition(static_cast<int32_t>(Control().pcVSplit().Top()));
  toolkit::PropertyBag bag;
  Control().UserControl_WriteProperties(bag);
  settings.setValue("control/properties", QString::fromStdString(bag.ToText()));
  settings.setValue("machine", machine_->currentText());
  settings.setValue("recentMachines", recent_);
  settings.setValue("window/geometry", saveGeometry());
  settings.setValue("window/divider", static_cast<int>(Control().pcVSplit().Top()));
  QStringList widths;
  const toolkit::ColumnHeaders& columns = Control().lvValues().ColumnHeaders();
  for (int i = 1; i <= columns.Count(); ++i) widths << QString::number(columns.Item(i).Width());
  settings.setValue("list/columns", widths);
}

void BrowserWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Once the pane has its size: a bar placed before that would be moved by
  // the control's resizing (which keeps the list's height).
  QTimer::singleShot(0, this, [this] {
    if (remembered_divider_ > 0) {
      Control().DividerPosition(remembered_divider_);
      remembered_divider_ = 0;
      return;
    }
    if (Control().DividerPosition() > 0) return;
    // Nothing remembered: the value pane gets half of what the tree and the
    // list share.
    const float free = Control().Surface().ScaleHeight() - Control().sbStatusBar().Height();
    if (free > 0) Control().DividerPosition(static_cast<int32_t>(free / 2));
  });
}

void BrowserWindow::closeEvent(QCloseEvent* event) {
  // A search must not walk hives that are about to be unloaded.
  find_->Stop();
  OfferUnload();
  SaveSettings();
  QMainWindow::closeEvent(event);
}

}  // namespace qvr::browser
