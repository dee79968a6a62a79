// qvr-browser: the registry browser in a window, or without one for scripts.
#include <QApplication>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "control/pick_reg_file.h"
#include "qt/browser_window.h"
#include "qt/command_line.h"
#include "qt/stderr_message_service.h"
#include "qt/picker.h"
#include "regfile/atomic_file.h"
#include "regfile/wine_prefix.h"

namespace {

using qvr::browser::BrowserWindow;
using qvr::browser::CommandLine;

int Fail(const std::string& message) {
  std::fprintf(stderr, "qvr-browser: %s\n", message.c_str());
  return 1;
}

// Lets the loop run until the window has settled (layout, timers of 10 ms).
void Settle() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTimer wait;
    wait.setSingleShot(true);
    QEventLoop loop;
    QObject::connect(&wait, &QTimer::timeout, &loop, &QEventLoop::quit);
    wait.start(15);
    loop.exec();
  }
}

bool HasDisplay() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

int Run(const CommandLine& line, int argc, char** argv) {
  if (line.Batch() && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Without this check Qt aborts with a core dump and a hint about
  // reinstalling, which helps nobody on a terminal without a display.
  if (!HasDisplay()) {
    return Fail(
        "no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
        "use --screenshot FILE.png or --export FILE, or run it under xvfb-run");
  }
  qvr::WinePrefix::RegisterOpener();
  QApplication app(argc, argv);
  QApplication::setApplicationName("qvr-browser");
  QApplication::setOrganizationName("qvrRegistryBrowser");

  qvr::browser::StderrMessageService stderr_messages;
  BrowserWindow window(line.Batch() ? &stderr_messages : nullptr, line.use_settings && !line.Batch());
  window.resize(line.width, line.height);
  window.LoadSettings();
  bool multiple = line.multiple.value_or(line.picks.empty() ? window.MultipleSelection() : true);
  window.SetMultipleSelection(multiple);
  window.show();
  Settle();

  if (!window.ShowMachine(line.machine.value_or(window.MachineField()))) {
    if (line.Batch()) return 1;
  }
  qvr::view::Picker picker(window.Control());
  for (const auto& pick : line.picks) {
    std::string error;
    bool ok = pick.value ? picker.PickValue(pick.key_path, *pick.value, &error)
                         : picker.PickKey(pick.key_path, &error);
    if (!ok) {
      if (line.Batch()) return Fail(error);
      std::fprintf(stderr, "qvr-browser: %s\n", error.c_str());
    }
  }
  if (line.details && !window.ShowValueDetails()) {
    if (line.Batch())
      return Fail("no value to show the details of (--details needs --pick PATH=VALUE)");
  }
  Settle();

  if (!line.export_file.empty() && line.export_format == qvr::browser::ExportFormat::kReg) {
    const int messages_before = stderr_messages.Count();
    // The .reg file's data is read anew: a key or value gone since it was
    // picked fails the export, and the file is left as it was.
    qvr::RegFileWriter writer;
    qvr::Status status = qvr::WritePickRegFile(window.Control(), writer);
    if (status.ok() && stderr_messages.Count() > messages_before) {
      return Fail("the pick could not be exported whole; " + line.export_file + " was left as it was");
    }
    if (!status.ok()) return Fail(status.ToString() + "; " + line.export_file + " was left as it was");
    std::string bytes;
    writer.TakeOutput(&bytes);
    qvr::Status written = qvr::AtomicFile::Write(line.export_file, bytes);
    if (!written.ok()) return Fail(written.ToString());
  } else if (!line.export_file.empty()) {
    const int messages_before = stderr_messages.Count();
    const std::string xml = window.ExportXml();
    // The control reports a failed export with a message and leaves the
    // document short; a short pick is not written over the file.
    if (stderr_messages.Count() > messages_before) {
      return Fail("the pick could not be exported whole; " + line.export_file + " was left as it was");
    }
    // Whole or not at all: a failed write (a full disk) leaves the old file.
    qvr::Status written = qvr::AtomicFile::Write(line.export_file, xml);
    if (!written.ok()) return Fail(written.ToString());
  }
  if (!line.screenshot_file.empty()) {
    QImage image = window.grab().toImage();
    // The details dialog is a window of its own; it is drawn where it would
    // sit, over the lower right of the main window.
    if (QWidget* details = window.LastDetails()) {
      QPainter painter(&image);
      const QImage box = details->grab().toImage();
      const QPoint at(std::max(0, window.width() - box.width() - 24),
                      std::max(0, window.height() - box.height() - 40));
      painter.drawImage(at, box);
      painter.setPen(QColor(80, 80, 80));
      painter.drawRect(QRect(at, box.size()).adjusted(0, 0, -1, -1));
    }
    if (!image.save(QString::fromStdString(line.screenshot_file), "PNG"))
      return Fail("cannot write " + line.screenshot_file);
  }
  if (line.Batch()) return stderr_messages.Count() > 0 ? 1 : 0;
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto line = qvr::browser::ParseCommandLine(args, &error);
  if (!line) {
    std::fprintf(stderr, "qvr-browser: %s\n", error.c_str());
    return 2;
  }
  if (line->help) {
    std::fputs(qvr::browser::UsageText().c_str(), stdout);
    return 0;
  }
  return Run(*line, argc, argv);
}
