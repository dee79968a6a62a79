// The browser pane over a real control on a temporary registry: the panes sit
// where the control's layout puts them, dragging the bar in the view drags
// it in the control, and a picking session through the view exports the same
// document as the same session driven on the model.
#include <gtest/gtest.h>

#include <QTest>
#include <string>

#include "registry/registry_api.h"
#include "toolkit/toolkit.h"
#include "xml/dom_document.h"
#include "qt/picker.h"
#include "qt/registry_browser_widget.h"
#include "qt_test_app.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"
#include "support/well_formed.h"

namespace qvr::view {
namespace {

using namespace toolkit;

// The nodes opened on the way to HKLM\SOFTWARE\Vendor's keys.
const char* const kVendorPath[] = {"_&H80000002", "_&H80000002\\SOFTWARE",
                                   "_&H80000002\\SOFTWARE\\VENDOR"};

std::string Export(ctlRegistry& control) {
  DOMDocument doc;
  doc.loadXML("<Pick/>");
  control.GetSelectedDOM(&doc);
  EXPECT_TRUE(qvr::testing::WellFormedXml(doc.xml()));
  return doc.xml();
}

class ViewBrowser : private WithTestApp, public ::testing::Test {
 protected:
  void SetUp() override {
    qvr::testing::PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\App", "Path", "C:\\app");
    qvr::testing::PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\App", "Mode", "fast");
    qvr::testing::PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Tool", "Name", "tool");
  }
  NodePtr Node(ctlRegistry& control, const std::string& key) { return control.tvReg().Nodes().Find(key); }
  ListItemPtr Row(ctlRegistry& control, const std::string& text) {
    for (int32_t i = 1; i <= control.lvValues().ListItems().Count(); ++i)
      if (control.lvValues().ListItems().Item(i)->Text() == text)
        return control.lvValues().ListItems().Item(i);
    return nullptr;
  }
  static void MultiSelect(ctlRegistry& control) {
    PropertyBag bag;
    bag.WriteProperty("SelectionType", int32_t{1}, int32_t{0});
    control.UserControl_ReadProperties(bag);
  }
  testing::TempRegistry registry_;
  RecordingMessageService messages_;
};

TEST_F(ViewBrowser, PanesSitWhereTheLayoutPutsThemAndTheBarDrags) {
  RegistryBrowserWidget pane(nullptr, &messages_);
  pane.resize(640, 480);
  pane.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
  ctlRegistry& control = pane.Control();
  ASSERT_TRUE(control.Show());
  const Twips& t = pane.Scale();
  EXPECT_NEAR(control.Surface().ScaleWidth(), t.ToTwips(640), 0.01);
  EXPECT_NEAR(control.Surface().ScaleHeight(), t.ToTwips(480), 0.01);
  auto place = [&](Widget& w) { return t.ToPixels(w.Left(), w.Top(), w.Width(), w.Height()); };
  EXPECT_EQ(pane.Tree().geometry(), place(control.tvReg()));
  EXPECT_EQ(pane.List().geometry(), place(control.lvValues()));
  EXPECT_EQ(pane.Splitter().geometry(), place(control.pcVSplit()));
  EXPECT_EQ(pane.Status().geometry().bottom(), 479);
  EXPECT_EQ(pane.Status().geometry().width(), 640);
  // The root is open and selected, and the status bar shows its (empty) path.
  EXPECT_TRUE(pane.Tree().isExpanded(pane.Tree().Model().IndexFor(Node(control, "ROOTKEY").get())));
  EXPECT_EQ(pane.Tree().currentIndex(), pane.Tree().Model().IndexFor(Node(control, "ROOTKEY").get()));

  // Dragging the bar: the bar's new top is its top plus the mouse's place
  // within it. Grey while dragged; the panes follow on release.
  const float top = control.pcVSplit().Top();
  QTest::mousePress(&pane.Splitter(), Qt::LeftButton, {}, QPoint(50, 1));
  EXPECT_EQ(control.pcVSplit().BackColor(), vbApplicationWorkspace);
  EXPECT_NE(pane.Splitter().ColorOf(vbApplicationWorkspace), pane.Splitter().ColorOf(vbButtonFace));
  EXPECT_EQ(pane.Splitter().ColorOf(0x0000FF), QColor(255, 0, 0));  // colours are 0xBBGGRR
  QMouseEvent move(QEvent::MouseMove, QPointF(50, 31), pane.Splitter().mapToGlobal(QPointF(50, 31)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&pane.Splitter(), &move);
  QTest::mouseRelease(&pane.Splitter(), Qt::LeftButton, {}, QPoint(50, 1));
  EXPECT_NEAR(control.pcVSplit().Top(), top + t.ToTwips(31), 1);
  EXPECT_EQ(control.pcVSplit().BackColor(), vbButtonFace);
  EXPECT_EQ(pane.List().geometry(), place(control.lvValues()));
  EXPECT_EQ(pane.Tree().geometry(), place(control.tvReg()));

  // Growing the window lays the control out again (its rules are the
  // control's own, tested there); the panes follow.
  pane.resize(640, 580);
  QTest::qWait(1);
  EXPECT_NEAR(control.Surface().ScaleHeight(), t.ToTwips(580), 0.01);
  EXPECT_EQ(pane.List().geometry(), place(control.lvValues()));
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(ViewBrowser, PickingThroughTheViewExportsWhatTheModelSessionDoes) {
  // The session on the model: a person's actions on the toolkit widgets.
  ManualEventLoop loop;
  RecordingMessageService model_messages;
  ctlRegistry model(loop, model_messages);
  MultiSelect(model);
  ASSERT_TRUE(model.Show());
  for (const char* key : kVendorPath) model.tvReg().UserExpand(Node(model, key));
  model.tvReg().UserClick(Node(model, "_&H80000002\\SOFTWARE\\VENDOR\\APP"));
  model.lvValues().UserClickItem(Row(model, "Path"));  // a click toggles in multiple selection
  model.lvValues().UserCheck(Row(model, "Mode"), true);
  model.tvReg().UserCheck(Node(model, "_&H80000002\\SOFTWARE\\VENDOR\\TOOL"), true);
  const std::string expected = Export(model);
  ASSERT_NE(expected.find("C:\\app"), std::string::npos) << expected;
  ASSERT_NE(expected.find("fast"), std::string::npos) << expected;

  // The same session through the view.
  RegistryBrowserWidget pane(nullptr, &messages_);
  ctlRegistry& control = pane.Control();
  MultiSelect(control);
  pane.resize(640, 600);
  pane.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
  ASSERT_TRUE(control.Show());
  TreeViewWidget& tree = pane.Tree();
  for (const char* key : kVendorPath) tree.expand(tree.Model().IndexFor(Node(control, key).get()));
  NodePtr app = Node(control, "_&H80000002\\SOFTWARE\\VENDOR\\APP");
  ASSERT_TRUE(app);
  tree.scrollTo(tree.Model().IndexFor(app.get()));
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.NodeRect(app).center());
  ASSERT_EQ(control.sbStatusBar().Panels(1).Text(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App");
  ListViewWidget& list = pane.List();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.ItemRect(Row(control, "Path"), 1).center());
  ASSERT_TRUE(list.Model().setData(list.Model().IndexFor(Row(control, "Mode").get()), Qt::Checked,
                                   Qt::CheckStateRole));
  NodePtr tool = Node(control, "_&H80000002\\SOFTWARE\\VENDOR\\TOOL");
  ASSERT_TRUE(tree.Model().setData(tree.Model().IndexFor(tool.get()), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(Export(control), expected);
  EXPECT_TRUE(messages_.Messages().empty());
  EXPECT_TRUE(model_messages.Messages().empty());
}

TEST_F(ViewBrowser, PickerActsAsAPersonAndSaysWhatItCannotFind) {
  ManualEventLoop loop;
  RecordingMessageService messages;
  ctlRegistry control(loop, messages);
  ASSERT_TRUE(control.Show());
  Picker picker(control);
  std::string error;
  EXPECT_EQ(Picker::HiveName("hklm"), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(Picker::HiveName("HKEY_USERS"), "HKEY_USERS");
  EXPECT_EQ(Picker::HiveName("HKXX"), "");
  EXPECT_FALSE(picker.PickKey("NOWHERE\\X", &error));
  EXPECT_NE(error.find("hive"), std::string::npos);
  EXPECT_FALSE(picker.PickKey("HKLM\\SOFTWARE\\Nope", &error));
  EXPECT_EQ(error, "no key HKEY_LOCAL_MACHINE\\SOFTWARE\\Nope in the tree");
  EXPECT_FALSE(picker.PickValue("HKLM\\software\\vendor\\app", "Missing", &error));
  EXPECT_EQ(error, "no value Missing under HKLM\\software\\vendor\\app");
  // Single selection: the pick is the row clicked last.
  ASSERT_TRUE(picker.PickValue("HKLM\\software\\vendor\\app", "mode", &error)) << error;
  EXPECT_EQ(control.lvValues().SelectedItem()->Text(), "Mode");
  EXPECT_NE(Export(control).find("fast"), std::string::npos);
}

}  // namespace
}  // namespace qvr::view
