#include "qt/browser_window.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QVBoxLayout>

#include "registry/registry_service.h"
#include "toolkit/toolkit.h"
#include "xml/dom_document.h"

namespace qvr::browser {

BrowserWindow::BrowserWindow(toolkit::MessageService* messages, bool use_settings)
    : qt_messages_(this), messages_(messages), use_settings_(use_settings) {
  setWindowTitle("Registry Browser");
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  auto* bar = new QHBoxLayout();
  bar->addWidget(new QLabel("Machine:", central));
  machine_ = new QLineEdit(central);
  machine_->setPlaceholderText("this machine");
  bar->addWidget(machine_, 1);
  show_ = new QPushButton("Show", central);
  bar->addWidget(show_);
  multiple_ = new QCheckBox("Multiple selection", central);
  bar->addWidget(multiple_);
  export_ = new QPushButton("Export...", central);
  bar->addWidget(export_);
  layout->addLayout(bar);
  browser_ = new view::RegistryBrowserWidget(central, messages);
  layout->addWidget(browser_, 1);
  setCentralWidget(central);

  connect(show_, &QPushButton::clicked, this, &BrowserWindow::OnShowClicked);
  connect(machine_, &QLineEdit::returnPressed, this, &BrowserWindow::OnShowClicked);
  connect(multiple_, &QCheckBox::toggled, this, [this](bool on) { SetMultipleSelection(on); });
  connect(export_, &QPushButton::clicked, this, &BrowserWindow::OnExportClicked);
}

BrowserWindow::~BrowserWindow() = default;

toolkit::MessageService& BrowserWindow::Messages() {
  return messages_ ? *messages_ : static_cast<toolkit::MessageService&>(qt_messages_);
}

bool BrowserWindow::ShowMachine(const std::string& machine) {
  machine_->setText(QString::fromStdString(machine));
  Status store;
  if (!CurrentRegistryService(&store)) {
    // Every node would show the same failure; say it once instead.
    if (!store_failure_shown_) {
      Messages().MsgBox(store.ToString() + ".", toolkit::vbOKOnly + toolkit::vbCritical,
                        "Registry Browser");
      store_failure_shown_ = true;
    }
    return false;
  }
  if (Control().Show(machine)) {
    auto service = CurrentRegistryService();
    std::string note = service && !machine.empty() ? service->TakeMachineNote(machine.c_str()) : "";
    if (!note.empty()) {
      Messages().MsgBox(note, toolkit::vbOKOnly + toolkit::vbInformation, "Registry Browser");
    }
    return true;
  }
  Messages().MsgBox(Unreachable(machine), toolkit::vbOKOnly + toolkit::vbExclamation,
                    "Registry Browser");
  return false;
}

std::string BrowserWindow::Unreachable(const std::string& machine) {
  std::string text = "Cannot reach the registry of " + machine;
  auto service = CurrentRegistryService();
  HKEY hive = 0;
  Status why = service ? service->ConnectMachine(machine.c_str(), HKEY_LOCAL_MACHINE, &hive)
                          : Status::OK();
  if (why.ok()) {
    if (hive != 0) service->CloseKey(hive);
    return text + ".";
  }
  return text + ": " + why.ToString();
}

void BrowserWindow::OnShowClicked() { ShowMachine(machine_->text().trimmed().toStdString()); }

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

bool BrowserWindow::MultipleSelection() const { return browser_->Control().SelectionType() == MultiSelect; }

std::string BrowserWindow::ExportXml() {
  DOMDocument doc;
  doc.loadXML("<RegistryPick/>");
  Control().GetSelectedDOM(&doc);
  return doc.xml();
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
    QString file = QFileDialog::getSaveFileName(&dialog, "Save the pick", "pick.xml",
                                                "XML documents (*.xml);;All files (*)");
    if (file.isEmpty()) return;
    DOMDocument doc;
    if (!doc.loadXML(xml.toStdString()) || !doc.save(file.toStdString())) {
      Messages().MsgBox("Cannot write " + file.toStdString() + ".",
                        toolkit::vbOKOnly + toolkit::vbCritical, "Registry Browser");
      return;
    }
    dialog.accept();
  });
  dialog.resize(640, 480);
  dialog.exec();
}

void BrowserWindow::LoadSettings() {
  if (!use_settings_) return;
  QSettings settings;
  toolkit::PropertyBag bag;
  if (bag.FromText(settings.value("control/properties").toString().toStdString())) {
    Control().UserControl_ReadProperties(bag);
    QSignalBlocker block(multiple_);
    multiple_->setChecked(MultipleSelection());
  }
  machine_->setText(settings.value("machine").toString());
  QSize size = settings.value("window/size").toSize();
  if (size.isValid()) resize(size);
}

void BrowserWindow::SaveSettings() {
  if (!use_settings_) return;
  QSettings settings;
  toolkit::PropertyBag bag;
  Control().UserControl_WriteProperties(bag);
  settings.setValue("control/properties", QString::fromStdString(bag.ToText()));
  settings.setValue("machine", machine_->text());
  settings.setValue("window/size", size());
}

void BrowserWindow::closeEvent(QCloseEvent* event) {
  SaveSettings();
  QMainWindow::closeEvent(event);
}

}  // namespace qvr::browser
