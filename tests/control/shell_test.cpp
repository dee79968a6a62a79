#include <gtest/gtest.h>

#include "control_fixture.h"

namespace qvr {
namespace {

TEST_F(ControlTest, PropertiesRestoreAndSaveThroughTheBagText) {
  // A new control, or an empty bag: the defaults and no check boxes.
  toolkit::PropertyBag empty;
  control_->UserControl_ReadProperties(empty);
  EXPECT_EQ(control_->SelectionType(), SingleSelect);
  EXPECT_EQ(control_->BrowserType(), Registry);
  EXPECT_EQ(control_->DividerPosition(), 0);
  EXPECT_FALSE(control_->tvReg().Checkboxes());
  EXPECT_FALSE(control_->lvValues().Checkboxes());
  toolkit::PropertyBag saved_defaults;
  control_->UserControl_WriteProperties(saved_defaults);
  EXPECT_EQ(saved_defaults.Count(), 0u);  // defaults are not stored

  control_->SelectionType(MultiSelect);
  control_->BrowserType(SystemPolicy);
  control_->Surface().Resize(4800, 6000);
  control_->DividerPosition(2000);
  // Writing the selection type alone does not switch the check boxes.
  EXPECT_FALSE(control_->tvReg().Checkboxes());
  toolkit::PropertyBag bag;
  control_->UserControl_WriteProperties(bag);
  const std::string text = bag.ToText();
  EXPECT_EQ(text.find("BrowserType"), 0u);
  EXPECT_LT(text.find("SelectionType"), text.find("DividerPosition"));

  toolkit::ManualEventLoop loop;
  toolkit::RecordingMessageService messages;
  ctlRegistry again(loop, messages);
  again.Surface().Resize(4800, 6000);
  toolkit::PropertyBag restored;
  ASSERT_TRUE(restored.FromText(text));
  again.UserControl_ReadProperties(restored);
  EXPECT_EQ(again.SelectionType(), MultiSelect);
  EXPECT_EQ(again.BrowserType(), SystemPolicy);
  EXPECT_EQ(again.DividerPosition(), 2000);
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
  ctlRegistry third(loop, messages);
  third.UserControl_ReadProperties(damaged);
  EXPECT_EQ(third.BrowserType(), SystemPolicy);
  EXPECT_EQ(third.SelectionType(), SingleSelect);
  EXPECT_EQ(third.DividerPosition(), 2500);
}

TEST_F(ControlTest, EventsReachConnectedSinksOnly) {
  ASSERT_TRUE(control_->Show());
  auto second = std::make_shared<EventLog>();
  const uint32_t cookie = control_->Advise(second);
  EXPECT_NE(cookie, 0u);
  Click("_&H80000003");
  // The sink flips its argument; the next sink still hears the control's
  // own value.
  EXPECT_EQ(events_->single_clicks.back(), false);
  EXPECT_EQ(second->single_clicks, std::vector<bool>{false});

  control_->Unadvise(cookie);
  control_->Unadvise(9999);  // unknown cookies are ignored
  Open("_&H80000003");
  Click("_&H80000003\\.DEFAULT");
  EXPECT_EQ(events_->single_clicks.back(), true);
  EXPECT_EQ(second->single_clicks.size(), 1u);

  // A sink that has ended is skipped.
  events_.reset();
  Click("_&H80000003");
  EXPECT_EQ(second->single_clicks.size(), 1u);
}

TEST_F(ControlTest, ResizeLayoutMovesBarWithBottomEdge) {
  // Start-up: the bar at half the height, 45 high; the status bar 315 high.
  EXPECT_EQ(control_->pcVSplit().Top(), 1800);
  EXPECT_EQ(control_->pcVSplit().Height(), 45);
  const float status = control_->sbStatusBar().Height();
  ASSERT_EQ(status, 315);

  // Growing by 1000 moves the bar down by 1000; the list keeps its height.
  control_->Surface().Resize(4800, 4600);
  EXPECT_EQ(control_->pcVSplit().Top(), 2800);
  EXPECT_EQ(control_->pcVSplit().Height(), 55);
  EXPECT_EQ(control_->pcVSplit().Width(), 4800);
  EXPECT_EQ(control_->tvReg().Height(), 2855);
  EXPECT_EQ(control_->lvValues().Top(), 2855);
  EXPECT_EQ(control_->lvValues().Height(), 4600 - (status + 2800));
  EXPECT_EQ(control_->lvValues().ColumnHeaders().Item(3).Width(), 4800 - 1440);
  EXPECT_EQ(control_->sbStatusBar().Top(), 4600 - status);

  // Shrinking close to the bar re-centres it, then shifts it by the change:
  // 3000 / 2 - 1600 = -100, above the top edge, and the tree gets nothing.
  control_->Surface().Resize(4800, 3000);
  EXPECT_EQ(control_->pcVSplit().Top(), -100);
  EXPECT_EQ(control_->tvReg().Height(), 0);
  EXPECT_EQ(control_->lvValues().Top(), -45);
  EXPECT_EQ(control_->lvValues().Height(), 3000 - (status - 100));

  // A list narrower than its type column has no data column.
  control_->Surface().Resize(1000, 3000);
  EXPECT_EQ(control_->lvValues().ColumnHeaders().Item(3).Width(), 0);
  EXPECT_EQ(control_->lvValues().ColumnHeaders().Item(1).Width(), 4276.0f * 1440 / 2540);
}

TEST_F(ControlTest, DraggingTheBarKeepsItWithinLimits) {
  control_->Surface().Resize(4800, 3000);  // the bar follows the bottom: 1800 - 600
  ASSERT_EQ(control_->pcVSplit().Top(), 1200);
  auto& bar = control_->pcVSplit();
  // Moves before a press do nothing.
  bar.UserMouseMove(0, 0, 0, 300);
  EXPECT_EQ(bar.Top(), 1200);

  bar.UserMouseDown(toolkit::vbLeftButton, 0, 10, 10);
  EXPECT_EQ(bar.BackColor(), 0x8000000Cu);
  bar.UserMouseMove(toolkit::vbLeftButton, 0, 10, -700);
  EXPECT_EQ(bar.Top(), 500);
  bar.UserMouseMove(toolkit::vbLeftButton, 0, 10, 5000);
  EXPECT_EQ(bar.Top(), 3000 - 1200);
  // Only the bar moves until the release.
  EXPECT_EQ(control_->tvReg().Height(), 1255);
  bar.UserMouseUp(toolkit::vbLeftButton, 0, 10, 10);
  EXPECT_EQ(bar.BackColor(), 0x8000000Fu);
  EXPECT_EQ(bar.Top(), 1800);
  EXPECT_EQ(control_->tvReg().Height(), 1855);
  EXPECT_EQ(control_->lvValues().Top(), 1855);
  EXPECT_EQ(control_->lvValues().Height(), 3000 - (315 + 1800));
  // Dragging leaves the property alone.
  EXPECT_EQ(control_->DividerPosition(), 0);
}

TEST_F(ControlTest, DividerPositionPlacesTheBarAtOnce) {
  control_->Surface().Resize(4800, 6000);
  const float top = control_->pcVSplit().Top();
  control_->DividerPosition(0);
  control_->DividerPosition(-5);
  EXPECT_EQ(control_->pcVSplit().Top(), top);

  control_->DividerPosition(3000);
  EXPECT_EQ(control_->pcVSplit().Top(), 3000);
  EXPECT_EQ(control_->tvReg().Height(), 3055);
  EXPECT_EQ(control_->lvValues().Top(), 3055);
  EXPECT_EQ(control_->lvValues().Height(), 6000 - (315 + 3000));

  control_->Surface().Resize(1000, 6000);
  control_->DividerPosition(3100);
  EXPECT_EQ(control_->lvValues().ColumnHeaders().Item(3).Width(), 0);
}

}  // namespace
}  // namespace qvr
