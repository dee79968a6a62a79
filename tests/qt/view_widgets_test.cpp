// The list, message boxes, event loop and icons of the Qt view (the splitter
// and status bars are tested on the whole pane).
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTest>
#include <set>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"
#include "qt/icon_provider.h"
#include "qt/list_view_widget.h"
#include "qt/qt_event_loop.h"
#include "qt/qt_message_service.h"
#include "qt/value_list_model.h"
#include "qt_test_app.h"

namespace qvr::view {
namespace {

using namespace toolkit;

class ViewWidgets : private WithTestApp, public ::testing::Test {
 protected:
  ViewWidgets() {
    list_.ColumnHeaders().Add(0, "NAME", "Name", 2424);
    list_.ColumnHeaders().Add(0, "KIND", "Type", 1440);
    list_.ColumnHeaders().Add(0, "VALUE", "Data", 2880);
  }
  ListItemPtr Row(const std::string& name, const std::string& type, const std::string& data) {
    ListItemPtr item = list_.ListItems().Add(Variant(), Variant(), name);
    item->SmallIcon(type == "REG_SZ" ? "STRVAL" : "BINVAL");
    item->SubItems(1, type);
    item->SubItems(2, data);
    return item;
  }
  std::vector<std::string> Column(QAbstractItemModel& model, int column) {
    std::vector<std::string> out;
    for (int r = 0; r < model.rowCount(); ++r)
      out.push_back(model.index(r, column).data().toString().toStdString());
    return out;
  }
  ListView list_;
  IconProvider icons_{false};
};

TEST_F(ViewWidgets, ListModelMirrorsRowsAndSorting) {
  ValueListModel model(list_, icons_);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  EXPECT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Data");
  Row("b", "REG_SZ", "two");
  Row("a", "REG_DWORD", "1");
  EXPECT_EQ(Column(model, 0), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(Column(model, 2), (std::vector<std::string>{"two", "1"}));
  EXPECT_EQ(model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
            icons_.Icon("STRVAL").cacheKey());
  EXPECT_FALSE(model.index(0, 0).data(Qt::CheckStateRole).isValid());
  list_.Checkboxes(true);
  EXPECT_EQ(model.index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

  QPersistentModelIndex kept = model.index(0, 2);  // "two" of row b
  list_.SortKey(0);
  list_.Sorted(true);
  EXPECT_EQ(Column(model, 0), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(kept.row(), 1);
  EXPECT_EQ(kept.data().toString(), "two");
  // A row added to the sorted list takes its place once the loop is idle.
  Row("0", "REG_SZ", "zero");
  QTest::qWait(5);
  EXPECT_EQ(Column(model, 0), (std::vector<std::string>{"0", "a", "b"}));
  list_.ListItems().Remove(2);
  EXPECT_EQ(Column(model, 0), (std::vector<std::string>{"0", "b"}));
  list_.ListItems().Clear();
  EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(ViewWidgets, PersonActionsInTheListBecomeListEvents) {
  QWidget window;
  window.resize(500, 300);
  ListViewWidget view(list_, icons_, &window);
  view.SetTwips(Twips(96));  // (placement in twips is tested on the whole pane)
  list_.Move(0, 0, 7200, 4320);
  EXPECT_EQ(view.columnWidth(1), 96);  // 1440 twips at 96 DPI
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  std::vector<std::string> log;
  list_.OnItemClick([&](const ListItemPtr& i) { log.push_back("ItemClick:" + i->Text()); });
  list_.OnClick([&] { log.push_back("Click"); });
  list_.OnDblClick([&] { log.push_back("DblClick"); });
  list_.OnItemCheck([&](const ListItemPtr& i) {
    log.push_back("ItemCheck:" + i->Text() + (i->Checked() ? "=1" : "=0"));
  });
  list_.OnColumnClick([&](ColumnHeader& c) { log.push_back("ColumnClick:" + std::to_string(c.Index())); });
  ListItemPtr x = Row("x", "REG_SZ", "1");
  ListItemPtr y = Row("y", "REG_SZ", "2");

  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.ItemRect(y, 1).center());
  EXPECT_EQ(list_.SelectedItem(), y);
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.ItemRect(y, 1).center());
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(200, 250));  // empty space
  QTest::mouseClick(view.header()->viewport(), Qt::LeftButton, {},
                    QPoint(view.header()->sectionViewportPosition(1) + 5, 5));
  list_.Checkboxes(true);
  ASSERT_TRUE(view.Model().setData(view.Model().IndexFor(x.get()), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(log, (std::vector<std::string>{"ItemClick:y", "Click", "DblClick", "Click",
                                           "ColumnClick:2", "ItemCheck:x=1"}));
  // The owner's selection and sort settings show.
  list_.SelectedItem(x);
  EXPECT_EQ(view.currentIndex().row(), 0);
  list_.SortKey(1);
  list_.SortOrder(lvwDescending);
  list_.Sorted(true);
  EXPECT_TRUE(view.header()->isSortIndicatorShown());
  EXPECT_EQ(view.header()->sortIndicatorSection(), 1);
  EXPECT_EQ(view.header()->sortIndicatorOrder(), Qt::DescendingOrder);
  // The owner's column width shows; a person's drag sets it.
  list_.ColumnHeaders().Item(3).Width(1440);
  EXPECT_EQ(view.columnWidth(2), 96);
  view.header()->resizeSection(0, 192);
  EXPECT_EQ(list_.ColumnHeaders().Item(1).Width(), 2880);
}

TEST_F(ViewWidgets, MessageBoxesEventLoopAndIcons) {
  auto box = QtMessageService::BuildBox("Uncaught error occurred in Refresh()", vbOKOnly + vbCritical,
                                        "Uncaught Exception", nullptr);
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  EXPECT_EQ(box->text(), "Uncaught error occurred in Refresh()");
  EXPECT_EQ(box->windowTitle(), "Uncaught Exception");
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
  EXPECT_EQ(QtMessageService::ResultOf(QMessageBox::Ok), vbOK);

  QtEventLoop loop;
  Timer timer(loop, 10);
  int ticks = 0;
  timer.OnTimer([&] {
    ++ticks;
    timer.Enabled(false);
  });
  timer.Enabled(true);
  for (int i = 0; i < 100 && ticks == 0; ++i) QTest::qWait(5);
  EXPECT_EQ(ticks, 1);
  QTest::qWait(30);
  EXPECT_EQ(ticks, 1);
  loop.ProcessEvents();
  EXPECT_EQ(loop.ProcessEventsCount(), 1);

  // Eleven distinct pictures, transparent only for BLANK.
  std::set<qint64> seen;
  for (std::string_view key : kSmallIconKeys) {
    QPixmap drawn = IconProvider::Drawn(std::string(key));
    ASSERT_FALSE(drawn.isNull()) << key;
    EXPECT_EQ(drawn.size(), QSize(16, 16));
    QImage image = drawn.toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) colours.insert(image.pixel(x, y));
    EXPECT_EQ(colours.size() == 1, key == "BLANK") << key;
    QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    seen.insert(qHash(bytes));
    EXPECT_FALSE(IconProvider(true).Icon(std::string(key)).isNull()) << key;
  }
  EXPECT_EQ(seen.size(), 11u);
  EXPECT_TRUE(IconProvider::Drawn("NOPE").isNull());
}

}  // namespace
}  // namespace qvr::view
