#include <gtest/gtest.h>

#include "control_fixture.h"

namespace qvr {
namespace {

std::vector<int32_t> Properties(const ctlRegistry& c) {
  return {c.SelectionType(), c.BrowserType(), c.DividerPosition()};
}

TEST_F(ControlTest, PropertiesRestoreAndSaveThroughTheBagText) {
  // An empty bag: the defaults, no check boxes, and nothing stored back.
  toolkit::PropertyBag empty;
  control_->UserControl_ReadProperties(empty);
  EXPECT_EQ(Properties(*control_), (std::vector<int32_t>{SingleSelect, Registry, 0}));
  EXPECT_FALSE(Tree().Checkboxes());
  EXPECT_FALSE(List().Checkboxes());
  control_->UserControl_WriteProperties(empty);
  EXPECT_EQ(empty.Count(), 0u);

  control_->SelectionType(MultiSelect);
  control_->BrowserType(SystemPolicy);
  control_->Surface().Resize(4800, 6000);
  control_->DividerPosition(2000);
  // Writing the selection type alone does not switch the check boxes.
  EXPECT_FALSE(Tree().Checkboxes());
  toolkit::PropertyBag bag;
  control_->UserControl_WriteProperties(bag);
  const std::string text = bag.ToText();

  ctlRegistry again(loop_, messages_);
  again.Surface().Resize(4800, 6000);
  toolkit::PropertyBag restored;
  ASSERT_TRUE(restored.FromText(text));
  again.UserControl_ReadProperties(restored);
  EXPECT_EQ(Properties(again), (std::vector<int32_t>{MultiSelect, SystemPolicy, 2000}));
  EXPECT_TRUE(again.tvReg().Checkboxes());
  EXPECT_TRUE(again.lvValues().Checkboxes());
  EXPECT_EQ(again.pcVSplit().Top(), 2000);
  toolkit::PropertyBag resaved;
  again.UserControl_WriteProperties(resaved);
  EXPECT_EQ(resaved.ToText(), text);

  // A damaged entry is skipped; the others are restored.
  toolkit::PropertyBag damaged;
  damaged.WriteProperty("BrowserType", Variant(int32_t{1}));
  damaged.WriteProperty("SelectionType", Variant("not a number"));
  damaged.WriteProperty("DividerPosition", Variant(int32_t{2500}));
  ctlRegistry third(loop_, messages_);
  third.UserControl_ReadProperties(damaged);
  EXPECT_EQ(Properties(third), (std::vector<int32_t>{SingleSelect, SystemPolicy, 2500}));
}

TEST_F(ControlTest, EventsReachConnectedSinksOnly) {
  ASSERT_TRUE(control_->Show());
  auto second = std::make_shared<EventLog>();
  const uint32_t cookie = control_->Advise(second);
  EXPECT_NE(cookie, 0u);
  Click(kHku);
  // The sink flips its argument; the next sink still hears the control's
  // own value.
  EXPECT_EQ(events_->single_clicks.back(), false);
  EXPECT_EQ(second->single_clicks, std::vector<bool>{false});

  control_->Unadvise(cookie);
  control_->Unadvise(9999);  // unknown cookies are ignored
  Open(kHku);
  Click(kHku + "\\.DEFAULT");
  EXPECT_EQ(events_->single_clicks.back(), true);
  EXPECT_EQ(second->single_clicks.size(), 1u);

  // A sink that has ended is skipped.
  events_.reset();
  Click(kHku);
  EXPECT_EQ(second->single_clicks.size(), 1u);
}

TEST_F(ControlTest, LayoutFollowsResizeDividerPositionAndTheDraggedBar) {
  // Placement of bar, tree and list for a bar top and a control height.
  auto expect_layout = [](ctlRegistry& c, float top, float height) {
    EXPECT_EQ(c.pcVSplit().Top(), top);
    EXPECT_EQ(c.tvReg().Height(), top + 55);
    EXPECT_EQ(c.lvValues().Top(), top + 55);
    EXPECT_EQ(c.lvValues().Height(), height - (315 + top));
  };
  auto& bar = control_->pcVSplit();
  auto& list = List();
  // Start-up: the bar at half the height, 45 high; the status bar 315 high.
  EXPECT_EQ(bar.Top(), 1800);
  EXPECT_EQ(bar.Height(), 45);
  ASSERT_EQ(control_->sbStatusBar().Height(), 315);

  // Growing by 1000 moves the bar down by 1000; the list keeps its height.
  control_->Surface().Resize(4800, 4600);
  expect_layout(*control_, 2800, 4600);
  EXPECT_EQ(bar.Height(), 55);
  EXPECT_EQ(bar.Width(), 4800);
  EXPECT_EQ(list.ColumnHeaders().Item(3).Width(), 4800 - 1440);
  EXPECT_EQ(control_->sbStatusBar().Top(), 4600 - 315);

  // Shrinking close to the bar re-centres it, then shifts it by the change:
  // 3000 / 2 - 1600 = -100, above the top edge, and the tree gets nothing.
  control_->Surface().Resize(4800, 3000);
  EXPECT_EQ(bar.Top(), -100);
  EXPECT_EQ(Tree().Height(), 0);
  EXPECT_EQ(list.Top(), -45);
  EXPECT_EQ(list.Height(), 3000 - (315 - 100));
  // A list narrower than its type column has no data column.
  control_->Surface().Resize(1000, 3000);
  EXPECT_EQ(list.ColumnHeaders().Item(3).Width(), 0);
  EXPECT_EQ(list.ColumnHeaders().Item(1).Width(), 4276.0f * 1440 / 2540);

  // DividerPosition places the bar at once; 0 and less leave it.
  control_->Surface().Resize(4800, 6000);
  const float top = bar.Top();
  control_->DividerPosition(0);
  control_->DividerPosition(-5);
  EXPECT_EQ(bar.Top(), top);
  control_->DividerPosition(3000);
  expect_layout(*control_, 3000, 6000);

  // Dragging: moves before a press do nothing; while pressed only the bar
  // moves, kept within limits; the release lays out the panes.
  ctlRegistry fresh(loop_, messages_);
  fresh.Surface().Resize(4800, 3000);  // the bar follows the bottom: 1800 - 600
  auto& dragged = fresh.pcVSplit();
  ASSERT_EQ(dragged.Top(), 1200);
  dragged.UserMouseMove(0, 0, 0, 300);
  EXPECT_EQ(dragged.Top(), 1200);
  dragged.UserMouseDown(toolkit::vbLeftButton, 0, 10, 10);
  EXPECT_EQ(dragged.BackColor(), 0x8000000Cu);
  dragged.UserMouseMove(toolkit::vbLeftButton, 0, 10, -700);
  EXPECT_EQ(dragged.Top(), 500);
  dragged.UserMouseMove(toolkit::vbLeftButton, 0, 10, 5000);
  EXPECT_EQ(dragged.Top(), 3000 - 1200);
  EXPECT_EQ(fresh.tvReg().Height(), 1255);
  dragged.UserMouseUp(toolkit::vbLeftButton, 0, 10, 10);
  EXPECT_EQ(dragged.BackColor(), 0x8000000Fu);
  expect_layout(fresh, 1800, 3000);
  EXPECT_EQ(fresh.DividerPosition(), 0);  // dragging leaves the property alone
}

}  // namespace
}  // namespace qvr
