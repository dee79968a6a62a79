// The qvr-browser application: its command line, its remembered settings,
// and the program itself run as a script would (offscreen, and once in a
// real X window under Xvfb).
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "base/unicode.h"
#include "registry/registry_api.h"
#include "qt/browser_window.h"
#include "qt/command_line.h"
#include "qt_test_app.h"
#include "support/run_program.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"
#include "support/well_formed.h"
#include "support/windows_machine.h"
#include "support/wine_machine.h"

namespace qvr::browser {
namespace {

using qvr::testing::BuildOutput;
using qvr::testing::RunProgram;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Checks that a screenshot is a real picture of the window: its size, and
// enough colours to hold a tree, a list and a status bar.
void ExpectWindowPicture(const std::string& path, int width, int height) {
  QImage image(QString::fromStdString(path));
  ASSERT_FALSE(image.isNull()) << path;
  EXPECT_EQ(image.width(), width);
  EXPECT_EQ(image.height(), height);
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 30u);
}

TEST(BrowserCommandLine, ParsesOptionsAndRefusesBadOnes) {
  std::string error;
  auto line = ParseCommandLine({"--machine", "\\\\HOST", "--pick", "HKLM\\A\\B=V", "HKCU\\C\\",
                                "HKLM\\D=", "--export", "out.xml", "--size", "640x480"},
                               &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(*line->machine, "\\\\HOST");
  ASSERT_EQ(line->picks.size(), 3u);
  EXPECT_EQ(line->picks[0].key_path, "HKLM\\A\\B");
  EXPECT_EQ(*line->picks[0].value, "V");
  EXPECT_EQ(line->picks[1].key_path, "HKCU\\C");
  EXPECT_FALSE(line->picks[1].value);
  EXPECT_EQ(*line->picks[2].value, "");
  EXPECT_EQ(line->width, 640);
  EXPECT_TRUE(line->Batch());
  EXPECT_FALSE(line->multiple);
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"stray"}, {"--machine"}, {"--pick"}, {"--pick", "--export", "x"},
           {"--size", "10x10"}, {"--size", "big"}, {"--screenshot", "x.jpg"},
           {"--single", "--multiple"}, {"--export"}, {"--format", "reg"},
           {"--export", "x", "--format", "json"}}) {
    error.clear();
    EXPECT_FALSE(ParseCommandLine(bad, &error)) << bad[0];
    EXPECT_NE(error.find("--help"), std::string::npos) << error;
  }
  EXPECT_NE(UsageText().find("--screenshot FILE.png"), std::string::npos);
  line = ParseCommandLine({"--machine", ""}, &error);
  ASSERT_TRUE(line && line->machine);
  EXPECT_EQ(*line->machine, "");
  EXPECT_FALSE(ParseCommandLine({}, &error)->machine);
}

TEST(BrowserWindowSettings, PropertiesAndMachineAreRememberedBetweenRuns) {
  qvr::view::TestApp();
  testing::TempRegistry registry;
  const std::string config = registry.Dir() + "/config";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  QCoreApplication::setOrganizationName("qvrRegistryBrowserTest");
  QCoreApplication::setApplicationName("qvr-browser-test");
  toolkit::RecordingMessageService messages;
  {
    BrowserWindow window(&messages, true);
    window.LoadSettings();
    EXPECT_FALSE(window.MultipleSelection());
    window.SetMultipleSelection(true);
    window.Control().DividerPosition(2000);
    registry.AddMachine("BUILDHOST");
    ASSERT_TRUE(window.ShowMachine("\\\\BUILDHOST"));
    window.SaveSettings();
  }
  BrowserWindow again(&messages, true);
  again.LoadSettings();
  EXPECT_EQ(again.MachineField(), "\\\\BUILDHOST");
  EXPECT_TRUE(again.MultipleSelection());
  EXPECT_EQ(again.Control().DividerPosition(), 2000);
  // An unreachable machine says so.
  EXPECT_FALSE(again.ShowMachine("\\\\NOWHERE"));
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].Prompt,
            "Cannot reach the registry of \\\\NOWHERE: The network path was not found.");
  // A Windows installation tells what it left out, once.
  testing::AddWindowsMachine(registry.Dir(), registry.MachineTablePath(), "win");
  ASSERT_TRUE(again.ShowMachine("\\\\win"));
  ASSERT_TRUE(again.ShowMachine("\\\\win"));
  ASSERT_EQ(messages.Messages().size(), 2u);
  EXPECT_EQ(messages.Messages()[1].Prompt.rfind("\\\\win: left out of its registry: HKLM\\SAM", 0), 0u);
  EXPECT_EQ(messages.Messages()[1].Buttons, toolkit::vbOKOnly + toolkit::vbInformation);
  // The settings went to the folder the environment names.
  EXPECT_NE(ReadFile(config + "/qvrRegistryBrowserTest/qvr-browser-test.conf").find("SelectionType"),
            std::string::npos);
}

class BrowserProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    qvr::testing::PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\App", "Path", "C:\\app");
    setenv("XDG_CONFIG_HOME", (registry_.Dir() + "/config").c_str(), 1);
  }
  std::string Program() const { return BuildOutput("qt/qvr-browser"); }
  testing::TempRegistry registry_;
};

TEST_F(BrowserProgram, HelpAndBadArguments) {
  auto help = RunProgram(Program(), {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("--pick PATH[=VALUE]"), std::string::npos);
  auto bad = RunProgram(Program(), {"--frobnicate"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_NE(bad.err.find("unknown option '--frobnicate'"), std::string::npos) << bad.err;

  // The window without any display: a plain message, not an abort inside Qt.
  auto headless = RunProgram("/usr/bin/env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u",
                                              "QT_QPA_PLATFORM", Program(), "--no-settings"});
  EXPECT_EQ(headless.exit_code, 1);
  EXPECT_NE(headless.err.find("no display"), std::string::npos) << headless.err;
}

TEST_F(BrowserProgram, PicksExportsAndRendersWithoutADisplay) {
  const std::string xml = registry_.Dir() + "/pick.xml";
  const std::string png = registry_.Dir() + "/shot.png";
  auto run = RunProgram(Program(), {"--pick", "HKLM\\SOFTWARE\\Vendor\\App=Path", "HKLM\\SOFTWARE\\Vendor",
                                    "--export", xml, "--screenshot", png, "--size", "700x500"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string doc = ReadFile(xml);
  EXPECT_TRUE(qvr::testing::WellFormedXml(doc));
  EXPECT_NE(doc.find("<RegistryPick>"), std::string::npos) << doc;
  EXPECT_NE(doc.find("value=\"C:\\app\""), std::string::npos) << doc;
  EXPECT_NE(doc.find("key=\"SOFTWARE\\Vendor\""), std::string::npos) << doc;
  ExpectWindowPicture(png, 700, 500);

  // As a .reg file: the picked key and the key of the picked value, data
  // read anew from the registry.
  const std::string reg = registry_.Dir() + "/pick.reg";
  auto as_reg =
      RunProgram(Program(), {"--pick", "HKLM\\SOFTWARE\\Vendor\\App=Path", "HKLM\\SOFTWARE\\Vendor",
                             "--export", reg, "--format", "reg"});
  ASSERT_EQ(as_reg.exit_code, 0) << as_reg.err;
  const std::string bytes = ReadFile(reg);
  const std::u16string units(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
  EXPECT_EQ(qvr::Utf16ToUtf8(units),
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]\r\n\"Path\"=\"C:\\\\app\"\r\n\r\n");

  // Single selection: the value clicked last.
  auto single = RunProgram(Program(), {"--single", "--pick", "HKLM\\SOFTWARE\\Vendor\\App=Path",
                                       "--details", "--export", xml});
  ASSERT_EQ(single.exit_code, 0) << single.err;
  EXPECT_EQ(ReadFile(xml).find("<Collection"), std::string::npos);
  EXPECT_NE(ReadFile(xml).find("status=\"Path\""), std::string::npos) << ReadFile(xml);

  // A write that fails (a file-size limit of 0 here, a full disk elsewhere)
  // leaves the old file whole.
  const std::string before = ReadFile(xml);
  auto cut = RunProgram("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\" --export \"$1\"",
                                    Program(), xml});
  EXPECT_EQ(cut.exit_code, 1) << cut.err;
  EXPECT_EQ(ReadFile(xml), before);
  // Data XML cannot carry is exported in its printable form.
  qvr::testing::PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Bad", "A\x01" "B");
  auto odd = RunProgram(Program(), {"--pick", "HKLM\\SOFTWARE\\Vendor=Bad", "--export", xml});
  EXPECT_EQ(odd.exit_code, 0) << odd.err;
  EXPECT_NE(ReadFile(xml).find("value=\"A\\x01B\""), std::string::npos) << ReadFile(xml);
  EXPECT_TRUE(qvr::testing::WellFormedXml(ReadFile(xml)));

  auto missing = RunProgram(Program(), {"--pick", "HKLM\\SOFTWARE\\Nope", "--export", xml});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("no key HKEY_LOCAL_MACHINE\\SOFTWARE\\Nope"), std::string::npos)
      << missing.err;
  auto unwritable = RunProgram(Program(), {"--export", registry_.Dir() + "/no/such/dir/x.xml"});
  EXPECT_EQ(unwritable.exit_code, 1);
}

TEST_F(BrowserProgram, ShowsWineMachinesAndSaysWhyAStoreCannotBeRead) {
  testing::AddWineMachine(registry_.Dir(), registry_.MachineTablePath(), "winebox");
  const std::string xml = registry_.Dir() + "/wine.xml";
  auto wine = RunProgram(Program(), {"--no-settings", "--machine", "winebox", "--pick",
                                     "HKLM\\Software\\Wine=Version", "--export", xml});
  ASSERT_EQ(wine.exit_code, 0) << wine.err;
  EXPECT_NE(ReadFile(xml).find("value=\"win10\""), std::string::npos) << ReadFile(xml);
  EXPECT_TRUE(qvr::testing::WellFormedXml(ReadFile(xml)));

  // This machine's store is not a registry store: its own error, said once.
  const std::string text = registry_.Dir() + "/notes.txt";
  std::ofstream(text) << "not a database\n";
  auto bad = RunProgram("/usr/bin/env", {"QVR_REGISTRY=" + text, Program(), "--no-settings",
                                         "--export", xml});
  EXPECT_EQ(bad.exit_code, 1);
  const std::string said = "Cannot open the registry store " + text + ": not a registry store";
  EXPECT_NE(bad.err.find(said), std::string::npos) << bad.err;
  EXPECT_EQ(bad.err.find(said), bad.err.rfind(said)) << bad.err;
}

TEST_F(BrowserProgram, ShowsARealWindowUnderXvfb) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
  const std::string png = registry_.Dir() + "/x11.png";
  // With the address bar and the details of the value open (the program
  // fails when it cannot open them).
  auto run = RunProgram("/bin/sh", {"-c", "xvfb-run -a -s '-screen 0 1024x768x24' env QT_QPA_PLATFORM=xcb '" +
                                              Program() + "' --single --pick 'HKLM\\SOFTWARE\\Vendor\\App=Path' "
                                              "--details --screenshot '" + png + "' --size 800x600"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  ExpectWindowPicture(png, 800, 600);
  // The details' hex dump, drawn in the lower right, is not the window's
  // plain background.
  QImage image(QString::fromStdString(png));
  std::set<QRgb> lower_right;
  for (int y = 300; y < 560; y += 3)
    for (int x = 300; x < 760; x += 3) lower_right.insert(image.pixel(x, y));
  EXPECT_GT(lower_right.size(), 10u);
}

}  // namespace
}  // namespace qvr::browser
