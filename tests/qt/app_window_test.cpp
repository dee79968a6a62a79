// The qvr-browser window around the control: its menus and keys, the address
// bar, value details for every type code, the status bar, hive files, the
// remembered layout and Space on ticks, all through the real widgets on the
// offscreen platform.
#include <gtest/gtest.h>

#include <fstream>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <string>

#include "base/unicode.h"
#include "qt/browser_window.h"
#include "qt_test_app.h"
#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"

namespace qvr::browser {
namespace {

using toolkit::ListItemPtr;

// Answers Yes to every question, as a person agreeing would.
class SayYes : public toolkit::MessageService {
 public:
  int32_t MsgBox(const std::string& prompt, int32_t, const std::string&) override {
    prompts.push_back(prompt);
    return toolkit::vbYes;
  }
  std::vector<std::string> prompts;
};

struct CountDoubleClicks : ctlRegistryEvents {
  void evtDoubleClick() override { ++count; }
  int count = 0;
};

void Put(const char* key, const char* name, DWORD type, const std::string& data) {
  HKEY k = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, 0, nullptr, &k, nullptr), 0);
  ASSERT_EQ(RegSetValueExA(k, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())),
            0);
  RegCloseKey(k);
}

class AppWindow : private view::WithTestApp, public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (registry_.Dir() + "/config").c_str(), 1);
    QCoreApplication::setOrganizationName("qvrRegistryBrowserTest");
    QCoreApplication::setApplicationName("qvr-browser-window-test");
    qvr::testing::PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\App", "Path", "C:\\app");
  }
  // A window showing this machine, shown and settled.
  std::unique_ptr<BrowserWindow> Open(bool settings = false) {
    auto window = std::make_unique<BrowserWindow>(&messages_, settings);
    window->resize(800, 600);
    if (settings) window->LoadSettings();
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(window->ShowMachine(""));
    QTest::qWait(20);
    return window;
  }
  static ListItemPtr Row(BrowserWindow& w, const std::string& text) {
    toolkit::ListItems& items = w.Control().lvValues().ListItems();
    for (int32_t i = 1; i <= items.Count(); ++i)
      if (items.Item(i)->Text() == text) return items.Item(i);
    return nullptr;
  }
  qvr::testing::TempRegistry registry_;
  toolkit::RecordingMessageService messages_;
};

TEST_F(AppWindow, DetailsShowEveryTypeCodeFromItsBytes) {
  struct Case {
    DWORD type;
    std::string data;       // as given to RegSetValueExA
    const char* type_line;  // the type as the dialog names it
    const char* shows;      // a reading or a dump line the bytes must give
  };
  const std::string guid("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16);
  const Case cases[] = {
      {REG_NONE, "", "Type:  0 (0x00000000) REG_NONE", "Size:  0 bytes"},
      {REG_SZ, std::string("Hi\0", 3), "1 (0x00000001) REG_SZ", "00000000  48 00 69 00 00 00"},
      {REG_EXPAND_SZ, std::string("%A%\0", 4), "REG_EXPAND_SZ", "UTF-16 text:   \"%A%\""},
      {REG_BINARY, guid, "3 (0x00000003) REG_BINARY",
       "GUID:          {00112233-4455-6677-8899-AABBCCDDEEFF}"},
      {REG_DWORD, std::string("\x2a\0\0\0", 4), "REG_DWORD",
       "32-bit (little endian): 42 (0x0000002a)"},
      {REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x2a", 4), "5 (0x00000005) REG_DWORD_BIG_ENDIAN",
       "32-bit (big endian):    42 (0x0000002a)"},
      {REG_LINK, std::string("\\\0A\0", 4), "6 (0x00000006) REG_LINK", "UTF-16 text:   \"\\A\""},
      {REG_MULTI_SZ, std::string("a\0bc\0\0", 6), "REG_MULTI_SZ", "UTF-16 text:   \"a\\0bc\""},
      {REG_RESOURCE_LIST, std::string("\x01\x02\x03", 3), "8 (0x00000008) REG_RESOURCE_LIST",
       "01 02 03"},
      {REG_FULL_RESOURCE_DESCRIPTOR, "xyz!", "REG_FULL_RESOURCE_DESCRIPTOR", "xyz!"},
      {10, std::string(17, '\x7f'), "10 (0x0000000a) REG_RESOURCE_REQUIREMENTS_LIST",
       "00000010  7f"},
      {REG_QWORD, std::string("\x00\x00\x05\x69\x36\xc0\xd5\x01", 8), "11 (0x0000000b) REG_QWORD",
       "FILETIME:      2020-01-01 00:00:00 UTC"},
      {0xffff0007, "ab", "4294901767 (0xffff0007) unknown type 0xffff0007", "61 62"},
  };
  for (const Case& c : cases)
    Put("SOFTWARE\\Types", ("v" + std::to_string(c.type)).c_str(), c.type, c.data);
  auto window = Open();
  std::string note;
  ASSERT_TRUE(window->GoTo("hklm\\software\\types", &note)) << note;
  auto double_clicks = std::make_shared<CountDoubleClicks>();
  window->Control().Advise(double_clicks);
  view::ListViewWidget& list = window->Browser().List();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type_line);
    ListItemPtr row = Row(*window, "v" + std::to_string(c.type));
    ASSERT_TRUE(row);
    // A double click in the list opens the details of the row clicked.
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.ItemRect(row, 1).center());
    QTest::qWait(5);
    ASSERT_TRUE(window->LastDetails());
    const std::string text = window->LastDetails()->Text().toStdString();
    EXPECT_NE(text.find("Name:  v" + std::to_string(c.type)), std::string::npos) << text;
    EXPECT_NE(text.find(std::string(c.type_line) + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find(c.shows), std::string::npos) << text;
  }
  // Text is shown as stored, even where it is not whole UTF-16.
  HKEY odd = 0;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Types", 0, KEY_ALL_ACCESS, &odd), 0);
  ASSERT_EQ(CurrentRegistryService()->SetValueBytes(odd, "v1", REG_SZ, std::string("a\0b", 3)), 0);
  RegCloseKey(odd);
  ASSERT_TRUE(window->ShowValueDetails(Row(*window, "v1")));
  EXPECT_NE(window->LastDetails()->Text().indexOf("00000000  61 00 62"), -1)
      << window->LastDetails()->Text().toStdString();
  // The control still raises its own event for each double click.
  EXPECT_EQ(double_clicks->count, static_cast<int>(std::size(cases)));
  // Enter on the current row, in multiple selection too.
  window->SetMultipleSelection(true);
  ASSERT_TRUE(window->GoTo("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App", &note));
  list.setFocus();
  list.setCurrentIndex(list.Model().IndexFor(Row(*window, "Path").get()));
  QTest::keyClick(&list, Qt::Key_Return);
  ASSERT_TRUE(window->LastDetails());
  EXPECT_NE(window->LastDetails()->Text().indexOf("Size:  14 bytes"), -1)
      << window->LastDetails()->Text().toStdString();
}

TEST_F(AppWindow, AddressBarOpensPathsAndSaysWhatIsMissing) {
  registry_.AddMachine("BUILDHOST");
  auto window = Open();
  auto* address = window->findChild<QLineEdit*>("address");
  ASSERT_TRUE(address);
  struct Case {
    const char* typed;
    const char* reached;
    const char* note;  // "" when the whole path exists
  };
  const Case cases[] = {
      {"hklm\\SOFTWARE\\vendor\\app", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App", ""},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Nope\\Deeper", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor",
       "No key Nope under HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor."},
      {"\\\\buildhost\\HKLM\\Software", "\\\\buildhost\\HKEY_LOCAL_MACHINE\\SOFTWARE", ""},
      {"HKLM\\SOFTWARE", "\\\\buildhost\\HKEY_LOCAL_MACHINE\\SOFTWARE", ""},
      {"HKXX\\SOFTWARE", "\\\\buildhost\\HKEY_LOCAL_MACHINE\\SOFTWARE",
       "HKXX is not a hive (HKEY_LOCAL_MACHINE, HKLM, HKCU, ...)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    address->setFocus();
    address->clear();
    QTest::keyClicks(address, c.typed);
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(window->SelectedKeyPath(), c.reached);
    if (*c.note) {
      EXPECT_EQ(window->StatusField("note").toStdString(), c.note);
    }
    window->UpdateStatus();
    EXPECT_EQ(window->StatusField("path").toStdString(), c.reached);
    EXPECT_TRUE(window->windowTitle().startsWith(QString::fromStdString(c.reached) + " - "));
  }
  EXPECT_EQ(window->StatusField("machineShown"), "\\\\buildhost");
  EXPECT_EQ(window->RecentMachines(), QStringList{"buildhost"});
  // The machine combo offers the table's names.
  auto* machines = window->findChild<QComboBox*>("machine");
  EXPECT_NE(machines->findText("BUILDHOST", Qt::MatchFixedString), -1);
  // This machine's keys tell when they changed; picks are counted.
  ASSERT_TRUE(window->ShowMachine(""));
  std::string note;
  ASSERT_TRUE(window->GoTo("HKLM\\SOFTWARE\\Vendor\\App", &note));
  EXPECT_TRUE(window->StatusField("lastWrite").startsWith("Changed 2"))
      << window->StatusField("lastWrite").toStdString();
  EXPECT_EQ(window->StatusField("picks"), "0 picked");
}

TEST_F(AppWindow, MenusCarryEveryActionWithItsKey) {
  auto window = Open();
  const std::pair<const char*, const char*> keyed[] = {{"quit", "Ctrl+Q"},
                                                       {"copyKeyPath", "Ctrl+Shift+C"},
                                                       {"refresh", "F5"},
                                                       {"goToKey", "Ctrl+L"},
                                                       {"openHive", "Ctrl+O"},
                                                       {"showMachine", "Ctrl+M"},
                                                       {"importReg", "Ctrl+I"},
                                                       {"exportKey", "Ctrl+E"},
                                                       {"exportPick", "Ctrl+Shift+E"},
                                                       {"valueDetails", "Alt+Return"},
                                                       {"copyValueData", "Ctrl+C"},
                                                       {"shortcuts", "F1"}};
  QStringList in_menus;
  for (QAction* menu : window->menuBar()->actions())
    for (QAction* action : menu->menu()->actions()) in_menus << action->objectName();
  for (const auto& [name, key] : keyed) {
    QAction* action = window->findChild<QAction*>(name);
    ASSERT_TRUE(action) << name;
    EXPECT_EQ(action->shortcut().toString(), key) << name;
    EXPECT_TRUE(in_menus.contains(name)) << name;
  }
  EXPECT_TRUE(in_menus.contains("about"));
  // The keys work: Ctrl+L goes to the address bar, Ctrl+Shift+C copies the path.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  std::string note;
  ASSERT_TRUE(window->GoTo("HKLM\\SOFTWARE\\Vendor", &note));
  window->Browser().Tree().setFocus();
  QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_TRUE(window->findChild<QLineEdit*>("address")->hasFocus());
  QTest::keyClick(window.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor");
  // The context menu of a node acts on that node, the list's on the row.
  ASSERT_TRUE(window->GoTo("HKLM\\SOFTWARE\\Vendor\\App", &note));
  view::TreeViewWidget& tree = window->Browser().Tree();
  toolkit::NodePtr vendor = window->Control().tvReg().SelectedItem()->Parent();
  emit tree.customContextMenuRequested(tree.NodeRect(vendor).center());
  auto* menu = window->findChild<QMenu*>("contextMenu");
  ASSERT_TRUE(menu && menu->isVisible());
  EXPECT_FALSE(window->findChild<QAction*>("valueDetails")->isEnabled());
  menu->hide();
  EXPECT_EQ(window->SelectedKeyPath(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor");
  ASSERT_TRUE(window->GoTo("HKLM\\SOFTWARE\\Vendor\\App", &note));
  view::ListViewWidget& list = window->Browser().List();
  emit list.customContextMenuRequested(list.ItemRect(Row(*window, "Path"), 1).center());
  EXPECT_TRUE(window->findChild<QAction*>("valueDetails")->isEnabled());
  window->findChild<QAction*>("copyValueData")->trigger();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "C:\\app");
  menu->hide();
}

TEST_F(AppWindow, LayoutIsRememberedAndSpaceTicks) {
  float dragged = 0;
  {
    auto window = Open(true);
    // Nothing remembered: the bar sits half way down what tree and list share.
    ctlRegistry& control = window->Control();
    const float shared = control.Surface().ScaleHeight() - control.sbStatusBar().Height();
    EXPECT_NEAR(control.pcVSplit().Top(), shared / 2, shared / 10);
    // A drag moves the bar; that place is what is kept.
    view::SplitterBarWidget& bar = window->Browser().Splitter();
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(50, 1));
    QMouseEvent move(QEvent::MouseMove, QPointF(50, -40), bar.mapToGlobal(QPointF(50, -40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar, &move);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(50, 1));
    EXPECT_LT(control.pcVSplit().Top(), shared / 2 - 100);
    control.lvValues().ColumnHeaders().Item(2).Width(2222);
    window->SetMultipleSelection(true);
    window->resize(700, 520);
    QTest::qWait(10);
    dragged = control.pcVSplit().Top();
    window->close();
  }
  auto again = Open(true);
  EXPECT_EQ(again->Control().pcVSplit().Top(), dragged);
  EXPECT_EQ(again->Control().lvValues().ColumnHeaders().Item(2).Width(), 2222);
  EXPECT_EQ(again->size(), QSize(700, 520));
  ASSERT_TRUE(again->MultipleSelection());

  // Space ticks and clears the current node, and the current row.
  std::string note;
  ASSERT_TRUE(again->GoTo("HKLM\\SOFTWARE\\Vendor\\App", &note));
  toolkit::NodePtr node = again->Control().tvReg().SelectedItem();
  view::TreeViewWidget& tree = again->Browser().Tree();
  tree.setFocus();
  QTest::keyClick(&tree, Qt::Key_Space);
  EXPECT_TRUE(node->Checked());
  QTest::keyClick(&tree, Qt::Key_Space);
  EXPECT_FALSE(node->Checked());
  view::ListViewWidget& list = again->Browser().List();
  ListItemPtr row = Row(*again, "Path");
  list.setFocus();
  list.setCurrentIndex(list.Model().IndexFor(row.get()));
  QTest::keyClick(&list, Qt::Key_Space);
  EXPECT_TRUE(row->Checked());
  // The status bar counts the pick once the control has taken the tick in.
  EXPECT_TRUE(QTest::qWaitFor([&] { return again->StatusField("picks") == "1 picked"; }, 3000))
      << again->StatusField("picks").toStdString();
  // The pick saved from the export dialog: the document, or a .reg file of
  // the ticked value read again from the registry.
  const std::string xml = again->ExportXml();
  const std::string reg = registry_.Dir() + "/pick.reg", doc = registry_.Dir() + "/pick.xml";
  ASSERT_TRUE(again->SavePick(xml, reg, true).ok());
  ASSERT_TRUE(again->SavePick(xml, doc, false).ok());
  std::ifstream in(reg, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(bytes.find(Utf16ToLeBytes(Utf8ToUtf16(
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]\r\n\"Path\"=\"C:\\\\app\"\r\n"))),
            std::string::npos);
  std::ifstream xml_in(doc);
  EXPECT_NE(std::string((std::istreambuf_iterator<char>(xml_in)), {}).find("Path"), std::string::npos);
}

TEST_F(AppWindow, HiveFilesMountAndAreOfferedForUnloadOnClose) {
  const std::string file = registry_.Dir() + "/vendor.hive";
  HKEY vendor = 0;
  ASSERT_EQ(registry_.Service().OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", &vendor), 0);
  ASSERT_TRUE(qvr::testing::IsOk(registry_.Service().SaveKey(vendor, file.c_str(), true)));
  registry_.Service().CloseKey(vendor);
  registry_.AddMachine("BUILDHOST");
  SayYes yes;
  {
    BrowserWindow window(&yes, false);
    window.show();
    ASSERT_TRUE(window.ShowMachine(""));
    ASSERT_TRUE(qvr::testing::IsOk(window.MountHive(HKEY_LOCAL_MACHINE, "Mounted", file)));
    EXPECT_EQ(window.SelectedKeyPath(), "HKEY_LOCAL_MACHINE\\Mounted");
    std::string note;
    EXPECT_TRUE(window.GoTo("HKLM\\Mounted\\App", &note)) << note;
    EXPECT_FALSE(window.MountHive(HKEY_LOCAL_MACHINE, "Mounted", file).ok());
    // One on another machine, unloaded there though this machine is shown
    // when the window closes.
    ASSERT_TRUE(window.ShowMachine("\\\\BUILDHOST"));
    ASSERT_TRUE(qvr::testing::IsOk(window.MountHive(HKEY_USERS, "Other", file)));
    EXPECT_EQ(window.SelectedKeyPath(), "\\\\BUILDHOST\\HKEY_USERS\\Other");
    ASSERT_TRUE(window.ShowMachine(""));
    window.close();
  }
  ASSERT_EQ(yes.prompts.size(), 1u);
  EXPECT_NE(yes.prompts[0].find("\nHKEY_LOCAL_MACHINE\\Mounted\n\\\\BUILDHOST\\HKEY_USERS\\Other"),
            std::string::npos)
      << yes.prompts[0];
  EXPECT_FALSE(registry_.Service().IsLoadedHive(HKEY_LOCAL_MACHINE, "Mounted"));
  HKEY users = 0;
  ASSERT_TRUE(
      qvr::testing::IsOk(registry_.Service().ConnectMachine("BUILDHOST", HKEY_USERS, &users)));
  EXPECT_FALSE(registry_.Service().IsLoadedHive(users, "Other"));
  registry_.Service().CloseKey(users);
}

}  // namespace
}  // namespace qvr::browser
