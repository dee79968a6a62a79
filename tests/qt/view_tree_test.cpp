// The tree view over the toolkit's tree: the adapter mirrors the tree's
// changes (checked by Qt's model tester), and a person's clicks, ticks, keys
// and expansions in the view become the tree's events.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QTest>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"
#include "qt/node_tree_model.h"
#include "qt/tree_view_widget.h"
#include "qt_test_app.h"

namespace qvr::view {
namespace {

using namespace toolkit;

class ViewTree : private WithTestApp, public ::testing::Test {
 protected:
  NodePtr Add(const std::string& parent, const std::string& key, const std::string& text) {
    return parent.empty() ? tree_.Nodes().Add(Variant(), tvwLast, key, text, "REGKEY", "KEYOPEN")
                          : tree_.Nodes().Add(parent, tvwChild, key, text, "REGKEY", "KEYOPEN");
  }
  // The texts under an index, as the model shows them.
  static std::vector<std::string> Rows(QAbstractItemModel& model, const QModelIndex& parent) {
    std::vector<std::string> out;
    for (int r = 0; r < model.rowCount(parent); ++r)
      out.push_back(model.index(r, 0, parent).data().toString().toStdString());
    return out;
  }
  TreeView tree_;
  IconProvider icons_{false};
};

TEST_F(ViewTree, ModelMirrorsInsertsRemovalsAndChanges) {
  NodeTreeModel model(tree_, icons_);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  NodePtr root = Add("", "R", "My Computer");
  Add("R", "A", "a");
  Add("R", "C", "c");
  tree_.Nodes().Add("C", tvwPrevious, "B", "b");
  Add("A", "A1", "a1");
  QModelIndex r = model.index(0, 0);
  EXPECT_EQ(r.data().toString(), "My Computer");
  EXPECT_EQ(Rows(model, r), (std::vector<std::string>{"a", "b", "c"}));
  QModelIndex a = model.index(0, 0, r);
  EXPECT_EQ(Rows(model, a), (std::vector<std::string>{"a1"}));
  EXPECT_EQ(model.parent(model.index(0, 0, a)), a);
  EXPECT_FALSE(model.index(0, 0, a).data(Qt::CheckStateRole).isValid());

  // Changes show: text, image (and the selected image while selected), check.
  tree_.Nodes().Item("B")->Text("bee");
  EXPECT_EQ(model.index(1, 0, r).data().toString(), "bee");
  auto shown_icon = [&] { return model.index(1, 0, r).data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
  tree_.Nodes().Item("B")->Image("SELECTKEY");
  EXPECT_EQ(shown_icon(), icons_.Icon("SELECTKEY").cacheKey());
  tree_.Nodes().Item("B")->Selected(true);  // B has no selected image: the image stays
  EXPECT_EQ(shown_icon(), icons_.Icon("SELECTKEY").cacheKey());
  tree_.Nodes().Item("B")->SelectedImage("SELECTOPEN");
  EXPECT_EQ(shown_icon(), icons_.Icon("SELECTOPEN").cacheKey());
  tree_.Checkboxes(true);
  tree_.Nodes().Item("A1")->Checked(true);
  EXPECT_EQ(model.index(0, 0, a).data(Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_TRUE(model.flags(a) & Qt::ItemIsUserCheckable);

  // Removal takes the descendants; clearing resets.
  tree_.Nodes().Remove("A");
  EXPECT_EQ(Rows(model, r), (std::vector<std::string>{"bee", "c"}));
  tree_.Nodes().Clear();
  EXPECT_EQ(model.rowCount(), 0);
  Add("", "R", "again");
  EXPECT_EQ(Rows(model, QModelIndex()), (std::vector<std::string>{"again"}));
}

TEST_F(ViewTree, ManyChildrenArriveInBatchesWhileRedrawIsOff) {
  NodeTreeModel model(tree_, icons_);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  int inserted_signals = 0;
  QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++inserted_signals; });
  Add("", "R", "r");
  Add("R", "DUMMYR", "");
  inserted_signals = 0;

  const int n = 10000;
  SendMessageA(tree_.hWnd(), WM_SETREDRAW, 0, 0);
  tree_.Nodes().Remove("DUMMYR");
  for (int i = 0; i < n; ++i) {
    std::string key = "K" + std::to_string(i);
    Add("R", key, std::to_string(i));
    if (i % 3 == 0) tree_.Nodes().Add(key, tvwChild, "DUMMY" + key, "");  // placeholders
  }
  // Rows not yet announced are hidden from the view.
  QModelIndex r = model.index(0, 0);
  EXPECT_LT(model.rowCount(r), n);
  EXPECT_EQ(model.rowCount(r) % NodeTreeModel::kBatchSize, 0);
  SendMessageA(tree_.hWnd(), WM_SETREDRAW, -1, 0);
  EXPECT_EQ(model.rowCount(r), n);
  EXPECT_LE(inserted_signals, 2 * (n / NodeTreeModel::kBatchSize + 1));
  EXPECT_EQ(model.index(n - 1, 0, r).data().toString(), QString::number(n - 1));
  EXPECT_EQ(model.rowCount(model.index(3, 0, r)), 1);  // its placeholder came with it
  EXPECT_EQ(model.rowCount(model.index(4, 0, r)), 0);

  // Anything else that happens announces the pending rows first.
  SendMessageA(tree_.hWnd(), WM_SETREDRAW, 0, 0);
  Add("R", "X1", "x1");
  Add("R", "X2", "x2");
  tree_.Nodes().Item("X1")->Text("changed");  // shown when announced
  EXPECT_EQ(model.rowCount(r), n);
  EXPECT_EQ(model.IndexFor(tree_.Nodes().Item("X1").get()).data().toString(), "changed");
  EXPECT_EQ(model.rowCount(r), n + 2);
  Add("R", "X3", "x3");
  EXPECT_EQ(model.IndexFor(tree_.Nodes().Item("X3").get()).row(), n + 2);  // asked for: announced
  Add("R", "X4", "x4");
  tree_.Nodes().Remove("K0");
  EXPECT_EQ(model.rowCount(r), n + 3);
  SendMessageA(tree_.hWnd(), WM_SETREDRAW, -1, 0);
}

// Records the tree's events.
struct Events {
  explicit Events(TreeView& tree) {
    tree.OnExpand([this](const NodePtr& n) { log.push_back("Expand:" + n->Key()); });
    tree.OnCollapse([this](const NodePtr& n) { log.push_back("Collapse:" + n->Key()); });
    tree.OnNodeClick([this](const NodePtr& n) { log.push_back("NodeClick:" + n->Key()); });
    tree.OnNodeCheck([this](const NodePtr& n) {
      log.push_back("NodeCheck:" + n->Key() + (n->Checked() ? "=1" : "=0"));
    });
    tree.OnDblClick([this] { log.push_back("DblClick"); });
    tree.OnKeyDown([this](int16_t& k, int16_t& s) {
      log.push_back("KeyDown:" + std::to_string(k) + "/" + std::to_string(s));
    });
  }
  std::vector<std::string> log;
};

TEST_F(ViewTree, PersonActionsInTheViewBecomeTreeEvents) {
  QWidget window;
  window.resize(400, 300);
  TreeViewWidget view(tree_, icons_, &window);
  view.setGeometry(0, 0, 400, 300);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  Events events(tree_);
  auto at = [&](const NodePtr& node) { return view.Model().IndexFor(node.get()); };
  auto click = [&](const NodePtr& node) {
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.NodeRect(node).center());
  };
  NodePtr root = Add("", "R", "root");
  NodePtr a = Add("R", "A", "a");
  Add("A", "DUMMYA", "");
  root->Expanded(true);  // the owner's own write: shown, no event
  EXPECT_TRUE(view.isExpanded(at(root)));
  EXPECT_TRUE(events.log.empty());

  // A click on the node's text.
  click(a);
  EXPECT_EQ(tree_.SelectedItem(), a);
  // Opening through the view; the handler may fill the node.
  tree_.OnExpand([&](const NodePtr& n) {
    events.log.push_back("Expand:" + n->Key());
    tree_.Nodes().Remove("DUMMY" + n->Key());
    Add(n->Key(), n->Key() + "1", "child");
  });
  view.expand(at(a));
  EXPECT_TRUE(a->Expanded());
  EXPECT_EQ(view.Model().rowCount(at(a)), 1);
  view.collapse(at(a));
  EXPECT_FALSE(a->Expanded());
  // A handler that undoes the opening closes the view's node again.
  tree_.OnExpand([&](const NodePtr& n) {
    events.log.push_back("Expand:" + n->Key());
    n->Expanded(false);
  });
  view.expand(at(a));
  EXPECT_FALSE(view.isExpanded(at(a)));
  // A double click (after its first click): DblClick, and the tree opens
  // the node.
  click(a);
  tree_.OnExpand([&](const NodePtr& n) { events.log.push_back("Expand:" + n->Key()); });
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.NodeRect(a).center());
  EXPECT_TRUE(view.isExpanded(at(a)));
  // A key press.
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_F5, Qt::ShiftModifier);
  // Ticking a box (with check boxes on) is NodeCheck and no NodeClick.
  tree_.Checkboxes(true);
  QTest::qWait(1);
  ASSERT_TRUE(view.Model().setData(at(a), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(events.log,
            (std::vector<std::string>{"NodeClick:A", "Expand:A", "Collapse:A", "Expand:A",
                                      "NodeClick:A", "DblClick", "Expand:A", "KeyDown:16/1", "KeyDown:116/1",
                                      "NodeCheck:A=1"}));
  // A press on the expander selects nothing: the view keeps the tree's node.
  QRect rect = view.NodeRect(root);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(rect.left() - 8, rect.center().y()));
  EXPECT_EQ(tree_.SelectedItem(), a);
  EXPECT_EQ(view.currentIndex(), at(a));
  // The owner's selection and pointer reach the view.
  tree_.SelectedItem(root);
  EXPECT_EQ(view.currentIndex(), at(root));
  tree_.MousePointer(ccHourglass);
  EXPECT_EQ(view.viewport()->cursor().shape(), Qt::WaitCursor);
  tree_.MousePointer(ccArrow);
  EXPECT_EQ(view.viewport()->cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace qvr::view
