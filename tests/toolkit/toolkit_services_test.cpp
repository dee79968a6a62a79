// Timer on a manual clock, property bag text form, status bar, image list
// and widget geometry of the toolkit model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/toolkit.h"
#include "support/raised.h"

namespace qvr::toolkit {
namespace {

using qvr::testing::ErrorNumberOf;

TEST(ToolkitServices, TimerTicksOnTheHostLoop) {
  ManualEventLoop loop;
  Timer timer(loop, 10);
  std::vector<int64_t> ticks;
  timer.OnTimer([&] { ticks.push_back(loop.Now()); });
  loop.Advance(50);  // not enabled
  timer.Enabled(true);
  loop.Advance(35);
  EXPECT_EQ(ticks, (std::vector<int64_t>{60, 70, 80}));
  timer.Enabled(false);
  loop.Advance(100);
  EXPECT_EQ(ticks.size(), 3u);
  EXPECT_EQ(loop.ActiveTimers(), 0u);
  // Re-enabling starts the count afresh; a new interval too.
  timer.Enabled(true);
  loop.Advance(5);
  timer.Interval(20);
  loop.Advance(19);
  EXPECT_EQ(ticks.size(), 3u);
  loop.Advance(1);
  EXPECT_EQ(ticks.back(), 210);
  // Interval 0 never ticks.
  timer.Interval(0);
  loop.Advance(1000);
  EXPECT_EQ(ticks.size(), 4u);
}

TEST(ToolkitServices, PropertyBagKeepsValuesAndReadsBackItsText) {
  PropertyBag bag;
  EXPECT_EQ(bag.ReadProperty("SelectionType", int32_t{0}).ToLong(), 0);
  bag.WriteProperty("BrowserType", int32_t{1}, int32_t{0});
  bag.WriteProperty("SelectionType", int32_t{0}, int32_t{0});  // the default: not kept
  bag.WriteProperty("DividerPosition", int32_t{3000}, int32_t{0});
  bag.WriteProperty("Caption", std::string("a=b\\c\nline 2\ttab"), std::string());
  bag.WriteProperty("Ratio", 0.1, 0.0);
  bag.WriteProperty("Flag", true, false);
  EXPECT_EQ(bag.Count(), 5u);
  EXPECT_FALSE(bag.Contains("SelectionType"));
  EXPECT_EQ(bag.ReadProperty("browsertype", int32_t{0}).ToLong(), 1);  // names ignore case

  const std::string text = bag.ToText();
  PropertyBag copy;
  ASSERT_TRUE(copy.FromText(text));
  EXPECT_EQ(copy.ToText(), text);
  EXPECT_EQ(copy.ReadProperty("DividerPosition", int32_t{0}).ToLong(), 3000);
  EXPECT_EQ(copy.ReadProperty("Caption").AsString(), "a=b\\c\nline 2\ttab");
  EXPECT_EQ(copy.ReadProperty("Ratio").ToDouble(), 0.1);
  EXPECT_TRUE(copy.ReadProperty("Flag").ToBool());

  // Writing the default again removes a stored value.
  copy.WriteProperty("BrowserType", int32_t{0}, int32_t{0});
  EXPECT_FALSE(copy.Contains("BrowserType"));
  // Bad text leaves the bag as it was; comments and blank lines are fine.
  for (const char* bad : {"BrowserType=Long:x\n", "no equals sign\n", "A=Long:99999999999\n",
                          "A=Currency:1\n", "A=String:bad\\q\n"}) {
    EXPECT_FALSE(copy.FromText(bad)) << bad;
  }
  EXPECT_TRUE(copy.Contains("Caption"));
  ASSERT_TRUE(copy.FromText("# saved\r\n\r\nSelectionType=Long:1\r\n"));
  EXPECT_EQ(copy.Count(), 1u);
  EXPECT_EQ(copy.ReadProperty("SelectionType", int32_t{0}).ToLong(), 1);
  EXPECT_EQ(ErrorNumberOf([&] { copy.WriteProperty("a=b", int32_t{1}); }), 5);
  EXPECT_EQ(ErrorNumberOf([&] { copy.WriteProperty("Obj", Variant::Null()); }), 13);
}

TEST(ToolkitServices, StatusBarImageListAndGeometry) {
  StatusBar bar;
  EXPECT_EQ(bar.PanelCount(), 1);
  EXPECT_EQ(ErrorNumberOf([&] { bar.Panels(2); }), 35600);
  ImageList icons(std::vector<std::string>(kSmallIconKeys.begin(), kSmallIconKeys.end()));
  EXPECT_EQ(icons.Key(11), "REGKEY_ERROR");
  EXPECT_EQ(icons.IndexOf("selectkey"), 7);
  EXPECT_EQ(icons.IndexOf("NONE"), 0);
  EXPECT_EQ(ErrorNumberOf([&] { icons.Add("Blank"); }), 35602);
  PictureBox box;
  box.Move(0, 1800, 4800, 45);
  box.Move(0, 2000);  // width and height stay
  EXPECT_EQ(box.Width(), 4800);
  EXPECT_EQ(ErrorNumberOf([&] { box.Move(0, 0, -1, 10); }), 380);
  EXPECT_EQ(WidgetFromHandle(box.hWnd()), &box);
}

}  // namespace
}  // namespace qvr::toolkit
