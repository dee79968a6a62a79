// The window's Find through the real widgets on the offscreen platform: key
// names, value names and data fill the results list, Cancel stops a search
// midway, and a result opens its key and value as clicks would.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "qt/browser_window.h"
#include "qt_test_app.h"
#include "registry/registry_api.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"

namespace qvr::browser {
namespace {

constexpr const char* kFind = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Find";

class FindWindow : private view::WithTestApp, public ::testing::Test {
 protected:
  void SetUp() override {
    using qvr::testing::PutString;
    PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Find\\Needle", "Other", "x");
    PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Find\\A", "my needle", "x");
    PutString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Find\\B\\C", "", "a NEEDLE b");
    window_ = std::make_unique<BrowserWindow>(&messages_, false);
    window_->resize(900, 700);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    ASSERT_TRUE(window_->ShowMachine(""));
  }
  template <typename T>
  T* Field(const char* name) {
    return window_->findChild<T*>(name);
  }
  // Types `text` into the panel (opened with Ctrl+F) and starts the search
  // at `from` ("" for the machine's root); waits for its end.
  void Search(const std::string& text, const std::string& from) {
    std::string note;
    if (!from.empty()) {
      ASSERT_TRUE(window_->GoTo(from, &note)) << note;
    }
    QTest::keyClick(window_.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(Field<QDockWidget>("findDock")->isVisible());
    Field<QComboBox>("findFrom")->setCurrentIndex(from.empty() ? 1 : 0);
    QLineEdit* what = Field<QLineEdit>("findWhat");
    ASSERT_TRUE(what->hasFocus());
    QTest::keyClicks(what, QString::fromStdString(text));
    QTest::keyClick(what, Qt::Key_Return);
    Wait();
  }
  void Wait() {
    for (int i = 0; i < 1000 && window_->Find().Running(); ++i) QTest::qWait(10);
    ASSERT_FALSE(window_->Find().Running());
  }
  // A double click on result `row`: the first click, then the second.
  void DoubleClick(int row) {
    QTreeWidget* list = Field<QTreeWidget>("findResults");
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  }
  // The results list's rows: "key|name|type|data".
  std::vector<std::string> Rows() {
    QTreeWidget* list = Field<QTreeWidget>("findResults");
    std::vector<std::string> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QStringList texts;
      for (int c = 0; c < 4; ++c) texts << list->topLevelItem(i)->text(c);
      rows.push_back(texts.join('|').toStdString());
    }
    return rows;
  }
  qvr::testing::TempRegistry registry_;
  toolkit::RecordingMessageService messages_;
  std::unique_ptr<BrowserWindow> window_;
};

TEST_F(FindWindow, KeyNamesValueNamesAndDataFillTheList) {
  const std::string a = std::string(kFind) + "\\A|my needle|REG_SZ|x";
  const std::string c = std::string(kFind) + "\\B\\C|(default)|REG_SZ|a NEEDLE b";
  const std::string key = std::string(kFind) + "\\Needle|||";
  struct Case {
    const char* text;
    const char* untick;  // a box cleared, or ticked for "findWhole"/"findCase"
    const char* from;
    std::vector<std::string> rows;
  } cases[] = {
      {"needle", nullptr, kFind, {a, c, key}}, {"needle", nullptr, "", {a, c, key}},
      {"NEEDLE", "findCase", kFind, {c}},      {"needle", "findWhole", kFind, {key}},
      {"needle", "findData", kFind, {a, key}}, {"NEEDLE", "findKeys", kFind, {a, c}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.text) + " " + (test.untick ? test.untick : "") + test.from);
    if (test.untick) Field<QCheckBox>(test.untick)->toggle();
    Search(test.text, test.from);
    EXPECT_EQ(Rows(), test.rows);
    EXPECT_TRUE(
        window_->Find().Progress().startsWith(QString("Done: %1 found in").arg(test.rows.size())))
        << window_->Find().Progress().toStdString();
    if (test.untick) Field<QCheckBox>(test.untick)->toggle();
  }
}

TEST_F(FindWindow, CancelStopsMidwayAndClosingJoins) {
  // Enough keys that the search is still running when its first batch is shown.
  constexpr int kKeys = 20000;
  auto name = [](int i) { return QString("k%1").arg(i, 5, 10, QChar('0')).toStdString(); };
  ASSERT_EQ(registry_.Service().Transact(HKEY_LOCAL_MACHINE,
                                         [&] {
                                           for (int i = 0; i < kKeys; ++i) {
                                             HKEY k = 0;
                                             LONG rc = RegCreateKeyExA(
                                                 HKEY_LOCAL_MACHINE,
                                                 ("SOFTWARE\\Big\\" + name(i)).c_str(), 0, nullptr,
                                                 0, 0, nullptr, &k, nullptr);
                                             if (rc != ERROR_SUCCESS) return rc;
                                             RegCloseKey(k);
                                           }
                                           return ERROR_SUCCESS;
                                         }),
            ERROR_SUCCESS);
  // Cancel as soon as the first batch is shown.
  QObject::connect(&window_->Find(), &view::FindPanel::resultsAdded, &window_->Find(),
                   [this] { Field<QPushButton>("findCancel")->click(); });
  Search("k", "HKLM\\SOFTWARE\\Big");
  const int shown = window_->Find().Count();
  EXPECT_GT(shown, 0);
  EXPECT_LT(shown, kKeys);
  EXPECT_TRUE(window_->Find().Progress().startsWith("Cancelled")) << shown;
  // What was found before the cancel is the start of the tree, once each.
  for (int i = 0; i < shown; ++i)
    ASSERT_EQ(window_->Find().Result(i).key_path, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Big\\" + name(i));
  // A new search replaces a running one; closing the window stops it.
  QObject::disconnect(&window_->Find(), &view::FindPanel::resultsAdded, nullptr, nullptr);
  Field<QPushButton>("findStart")->click();
  Field<QPushButton>("findStart")->click();
  EXPECT_TRUE(window_->Find().Running());
  window_.reset();
}

TEST_F(FindWindow, DoubleClickAndF3OpenKeyAndValue) {
  // F3 with nothing found yet opens Find.
  QTest::keyClick(window_.get(), Qt::Key_F3);
  EXPECT_TRUE(Field<QDockWidget>("findDock")->isVisible());
  Search("needle", kFind);
  ASSERT_EQ(window_->Find().Count(), 3);
  DoubleClick(1);
  EXPECT_EQ(window_->SelectedKeyPath(), std::string(kFind) + "\\B\\C");
  view::ListViewWidget& values = window_->Browser().List();
  ASSERT_TRUE(values.currentIndex().isValid());
  EXPECT_EQ(values.Model().ItemAt(values.currentIndex())->Text(), "(default)");
  EXPECT_EQ(window_->Control().lvValues().SelectedItem()->Text(), "(default)");
  QTest::keyClick(window_.get(), Qt::Key_F3);
  EXPECT_EQ(window_->SelectedKeyPath(), std::string(kFind) + "\\Needle");
  EXPECT_EQ(window_->Find().CurrentRow(), 2);
  // Past the last match F3 says so and stays.
  EXPECT_FALSE(window_->Find().OpenNext());
  EXPECT_EQ(window_->SelectedKeyPath(), std::string(kFind) + "\\Needle");
  // From the first result again: a value name opens its row.
  DoubleClick(0);
  EXPECT_EQ(window_->SelectedKeyPath(), std::string(kFind) + "\\A");
  EXPECT_EQ(values.Model().ItemAt(values.currentIndex())->Text(), "my needle");
}

}  // namespace
}  // namespace qvr::browser
