// The browser control late-bound: a picking session driven through the
// server's interfaces exports the same document as the same session driven
// on the control directly; properties, events and the document class.
#include <gtest/gtest.h>

#include "control/ctl_registry.h"
#include "registry/registry_api.h"
#include "dispatch/function_sink.h"
#include "dispatch/late_bound.h"
#include "toolkit/toolkit.h"
#include "xml/dom_document.h"
#include "server/catalog.h"
#include "server/identifiers.h"
#include "create_late_bound.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"
#include "support/well_formed.h"

namespace qvr {
namespace {

using server::Catalog;

// The control's second interface, through which a person's actions are made.
constexpr char kMultiSelect[] = "SelectionType=Long:1\n";

// A control created directly, in multiple selection, as the twin of a
// late-bound one.
struct DirectControl {
  DirectControl() {
    toolkit::PropertyBag bag;
    bag.FromText(kMultiSelect);
    control.UserControl_ReadProperties(bag);
  }
  toolkit::ManualEventLoop loop;
  toolkit::RecordingMessageService messages;
  ctlRegistry control{loop, messages};
};

LateBound UserInterface(const LateBound& control) {
  return LateBound(ComPtr<Dispatch>(control.Get()).As<Dispatch>(server_ids::kControlUserInterface));
}

// The child of `parent` whose text is `text`, through the person's interface.
std::string Child(const LateBound& ui, const std::string& parent, const std::string& text) {
  Variant children = ui.Call("NodeChildren", {Variant(parent)});
  for (const auto& k : children.AsArray().elements) {
    if (ui.Call("NodeText", {k}).ToText() == text) return k.AsString();
  }
  return {};
}

TEST(ControlBindingTest, PickingSessionMatchesTheDirectControl) {
  testing::TempRegistry temp;
  for (const char* name : {"Alpha", "Beta"})
    testing::PutString(HKEY_CURRENT_USER, "Software\\Pick\\Inner", name, name);
  testing::PutString(HKEY_CURRENT_USER, "Software\\Pick", "Top", "t");

  // Late-bound.
  LateBound ctl = Create(server_ids::kControlClass);
  LateBound ui = UserInterface(ctl);
  ASSERT_TRUE(ui);
  std::vector<std::string> heard;
  ComPtr<FunctionSink> sink(new FunctionSink());
  sink->On(1, [&](std::vector<Variant>&) { heard.push_back("double"); });
  sink->On(2, [&](std::vector<Variant>& a) { heard.push_back(a.at(0).ToBool() ? "valid" : "none"); });
  ASSERT_NE(ConnectEvents(ctl.Get(), server_ids::kControlEvents, sink.Get()), 0u);
  EXPECT_TRUE(ui.Call("ReadProperties", {Variant("SelectionType=Long:1\n")}).ToBool());
  EXPECT_EQ(ctl.Get("SelectionType").ToLong(), MultiSelect);
  EXPECT_TRUE(ctl.Call("Show").ToBool());
  const std::string hkcu = "_&H80000001";
  std::vector<std::string> path{hkcu};  // HKCU, Software, Pick, Inner
  for (const char* text : {"Software", "Pick", "Inner"}) {
    ui.Call("Expand", {Variant(path.back())});
    path.push_back(Child(ui, path.back(), text));
  }
  const std::string sw = path[1], pick = path[2], inner = path[3];
  ASSERT_FALSE(inner.empty());
  auto check_row = [&](const char* name) {
    ui.Call("CheckRow", {ui.Call("FindRow", {Variant(name)}), Variant(true)});
  };
  ui.Call("Click", {Variant(pick)});
  EXPECT_EQ(ui.Get("StatusText").ToText(), "HKEY_CURRENT_USER\\Software\\Pick");
  check_row("Top");
  ui.Call("Click", {Variant(inner)});
  EXPECT_EQ(ui.Get("RowCount").ToLong(), 3);
  check_row("Beta");
  check_row("Alpha");
  EXPECT_EQ(ui.Call("NodeImage", {Variant(inner)}).ToText(), "SELECTKEY");
  LateBound doc = Create(server_ids::kDocumentClass);
  EXPECT_TRUE(doc.Call("loadXML", {Variant("<Pick/>")}).ToBool());
  ctl.Call("GetSelectedDOM", {DispatchVariant(doc.Get())});
  EXPECT_EQ(heard, (std::vector<std::string>{"none", "valid", "valid"}));
  EXPECT_EQ(ui.Get("Messages").AsArray().elements.size(), 0u);

  // Directly, the same session.
  DirectControl host;
  ctlRegistry& direct = host.control;
  direct.Show();
  auto& tv = direct.tvReg();
  auto& lv = direct.lvValues();
  auto check_item = [&](const std::string& text) {
    for (int32_t i = 1; i <= lv.ListItems().Count(); ++i)
      if (lv.ListItems().Item(i)->Text() == text) lv.UserCheck(lv.ListItems().Item(i), true);
  };
  for (const std::string& key : {hkcu, sw, pick}) tv.UserExpand(tv.Nodes().Item(key));
  tv.UserClick(tv.Nodes().Item(pick));
  check_item("Top");
  tv.UserClick(tv.Nodes().Item(inner));
  check_item("Beta");
  check_item("Alpha");
  DOMDocument expected;
  expected.loadXML("<Pick/>");
  direct.GetSelectedDOM(&expected);

  std::string got = doc.Get("xml").ToText();
  EXPECT_EQ(got, expected.xml());
  EXPECT_TRUE(testing::WellFormedXml(got));
  EXPECT_NE(got.find("name=\"Alpha\""), std::string::npos);  // not two empty documents
  // The multiple-selection export empties the selection: a second one adds
  // nothing.
  LateBound second = Create(server_ids::kDocumentClass);
  second.Call("loadXML", {Variant("<Pick/>")});
  ctl.Call("GetSelectedDOM", {DispatchVariant(second.Get())});
  EXPECT_EQ(second.Get("xml").ToText().find("Registry"), std::string::npos);
}

// Layout, images, the pump hook and the selection copy, seen late-bound, read
// against the same actions on the direct control.
TEST(ControlBindingTest, LayoutImagesPumpAndSelectionMatchTheDirectControl) {
  testing::TempRegistry temp;
  HKEY many = 0, k = 0;
  auto make = [](HKEY parent, const std::string& name, HKEY* out) {
    return RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out,
                           nullptr);
  };
  ASSERT_EQ(make(HKEY_CURRENT_USER, "Software\\Many", &many), ERROR_SUCCESS);
  for (int i = 0; i < 512; ++i, RegCloseKey(k)) make(many, "K" + std::to_string(i), &k);
  RegCloseKey(many);
  testing::PutString(HKEY_CURRENT_USER, "Software\\Many", "Size", "512");
  LateBound ctl = Create(server_ids::kControlClass), ui = UserInterface(ctl);
  DirectControl host;
  ctlRegistry& direct = host.control;
  ui.Call("ReadProperties", {Variant(kMultiSelect)});

  // The same resize and drag on both.
  ui.Call("Resize", {Variant(int32_t{6000}), Variant(int32_t{5000})});
  direct.Surface().Resize(6000, 5000);
  auto& bar = direct.pcVSplit();
  ui.Call("SplitterMouseDown", {Variant(int32_t{0})});
  bar.UserMouseDown(1, 0, 0, 0);
  EXPECT_EQ(ui.Get("SplitterColor").ToLong(), static_cast<int32_t>(toolkit::vbApplicationWorkspace));
  ui.Call("SplitterMouseMove", {Variant(int32_t{-900})});
  ui.Call("SplitterMouseUp", {Variant(int32_t{0})});
  bar.UserMouseMove(1, 0, 0, -900);
  bar.UserMouseUp(1, 0, 0, 0);
  EXPECT_EQ(ui.Get("SplitterColor").ToLong(), static_cast<int32_t>(bar.BackColor()));
  const std::pair<const char*, const toolkit::Widget*> panes[] = {
      {"tvReg", &direct.tvReg()}, {"pcVSplit", &bar}, {"lvValues", &direct.lvValues()},
      {"sbStatusBar", &direct.sbStatusBar()}};
  for (const auto& [name, w] : panes) {
    const Variant rect = ui.Call("PaneRect", {Variant(name)});
    std::vector<float> got;
    for (const auto& v : rect.AsArray().elements) got.push_back(static_cast<float>(v.ToLong()));
    EXPECT_EQ(got, (std::vector<float>{w->Left(), w->Top(), w->Width(), w->Height()})) << name;
  }
  EXPECT_EQ(ui.Call("ColumnWidth", {Variant(int32_t{3})}).ToDouble(),
            direct.lvValues().ColumnHeaders().Item(3).Width());
  EXPECT_THROW(ui.Call("PaneRect", {Variant("nothing")}), AutomationError);

  // The pump hook runs once, at key 512, while the listing's text shows.
  std::vector<std::string> pumped;
  ComPtr<FunctionSink> hook(new FunctionSink());
  hook->On(DISPID_VALUE,
           [&](std::vector<Variant>&) { pumped.push_back(ui.Get("StatusText").ToText()); });
  ui.Call("SetMessagePumpHook", {DispatchVariant(hook.Get())});
  ctl.Call("Show");
  direct.Show();
  const std::string hkcu = "_&H80000001";
  ui.Call("Expand", {Variant(hkcu)});
  const std::string sw = Child(ui, hkcu, "Software");
  ui.Call("Expand", {Variant(sw)});
  const std::string node = Child(ui, sw, "Many");
  ui.Call("Expand", {Variant(node)});
  EXPECT_EQ(pumped, std::vector<std::string>{"Enumerating Software\\Many"});

  // Images: the picked key's marks, the list's icons and the pointer.
  auto& tv = direct.tvReg();
  auto& lv = direct.lvValues();
  for (const std::string& key : {hkcu, sw, node}) tv.UserExpand(tv.Nodes().Item(key));
  tv.UserClick(tv.Nodes().Item(node));
  lv.UserCheck(lv.ListItems().Item(2), true);
  ui.Call("Click", {Variant(node)});
  ui.Call("CheckRow", {Variant(int32_t{2}), Variant(true)});
  EXPECT_EQ(ui.Call("NodeSelectedImage", {Variant(sw)}).ToText(),
            tv.Nodes().Item(sw)->SelectedImage());
  EXPECT_EQ(ui.Call("RowIcon", {Variant(int32_t{2})}).ToText(), lv.ListItems().Item(2)->SmallIcon());
  EXPECT_EQ(ui.Get("MousePointer").ToLong(), tv.MousePointer());
  const Variant image_keys = ui.Get("ImageKeys");
  std::vector<std::string> keys;
  for (const auto& key : image_keys.AsArray().elements) keys.push_back(key.AsString());
  EXPECT_EQ(keys, direct.ilSmallIcons().Keys());
  int clicks = 0;
  ComPtr<FunctionSink> sink(new FunctionSink());
  sink->On(2, [&](std::vector<Variant>&) { ++clicks; });
  ConnectEvents(ctl.Get(), server_ids::kControlEvents, sink.Get());
  ui.Call("ClickEmptyList");
  EXPECT_EQ(clicks, 1);

  // The selection copy keeps what was picked after the export empties it.
  LateBound picked = LateBound::FromVariant(ui.Get("Selection"));
  LateBound doc = Create(server_ids::kDocumentClass);
  EXPECT_EQ(picked.Get("Count").ToLong(), direct.Selection().Count());
  doc.Call("loadXML", {Variant("<Pick/>")});
  ctl.Call("GetSelectedDOM", {DispatchVariant(doc.Get())});
  EXPECT_EQ(picked.Get("Count").ToLong(), 1);
  EXPECT_EQ(LateBound::FromVariant(ui.Get("Selection")).Get("Count").ToLong(), 0);

  // The registry object's per-item hook.
  int items = 0;
  hook->On(DISPID_VALUE, [&](std::vector<Variant>&) { ++items; });
  LateBound reg = Create(server_ids::kRegistryObjectClass);
  reg.Call("SetDoEventsHook", {DispatchVariant(hook.Get())});
  Variant h = reg.Call("OpenKey", {Variant(static_cast<int32_t>(HKEY_CURRENT_USER)),
                                   Variant("Software\\Many")});
  reg.Call("EnumKeys", {h, Variant(false), Variant(true)});
  EXPECT_EQ(items, 512);
}

TEST(ControlBindingTest, PropertiesEventsAndDescription) {
  testing::TempRegistry temp;
  LateBound ctl = Create(server_ids::kControlClass);
  LateBound ui = UserInterface(ctl);
  // Properties are stored and persisted.
  ctl.Put("BrowserType", Variant(int32_t{SystemPolicy}));
  ctl.Put("DividerPosition", Variant(int32_t{1500}));
  EXPECT_EQ(ctl.Get("BrowserType").ToLong(), 1);
  EXPECT_EQ(ctl.Get("DividerPosition").ToLong(), 1500);
  std::string saved = ui.Call("WriteProperties").ToText();
  EXPECT_NE(saved.find("BrowserType"), std::string::npos);
  EXPECT_NE(saved.find("DividerPosition"), std::string::npos);
  LateBound other = Create(server_ids::kControlClass), other_ui = UserInterface(other);
  EXPECT_TRUE(other_ui.Call("ReadProperties", {Variant(saved)}).ToBool());
  EXPECT_EQ(other.Get("BrowserType").ToLong(), 1);
  EXPECT_FALSE(other_ui.Call("ReadProperties", {Variant("not a bag")}).ToBool());

  // Single selection: a double click on a key raises evtDoubleClick.
  int doubles = 0;
  ComPtr<FunctionSink> sink(new FunctionSink());
  sink->On(1, [&](std::vector<Variant>&) { ++doubles; });
  uint32_t cookie = ConnectEvents(ctl.Get(), server_ids::kControlEvents, sink.Get());
  ASSERT_NE(cookie, 0u);
  ctl.Call("Show");
  ui.Call("Click", {Variant("_&H80000001")});
  ui.Call("DoubleClick", {Variant("_&H80000001")});
  EXPECT_EQ(doubles, 1);
  ctl.Call("Refresh");
  // A missing document is reported by the control's own message box.
  ui.Call("Expand", {Variant("_&H80000001")});
  ui.Call("Click", {Variant(Child(ui, "_&H80000001", "Software"))});
  ctl.Call("GetSelectedDOM", {Variant(std::shared_ptr<Object>())});
  EXPECT_EQ(ui.Get("Messages").AsArray().elements.size(), 1u);
  EXPECT_TRUE(DisconnectEvents(ctl.Get(), server_ids::kControlEvents, cookie));
  // Unknown node keys raise the tree's error to the caller.
  EXPECT_THROW(ui.Call("Click", {Variant("NO SUCH NODE")}), AutomationError);

  const TypeLibrary& lib = Catalog::Get().Library();
  const ClassInfo* cls = lib.FindClass("ctlRegistry");
  ASSERT_NE(cls, nullptr);
  EXPECT_TRUE(cls->creatable && cls->control);
  std::vector<std::string> order;
  for (const auto& m : cls->default_interface->members) {
    order.push_back(m.name + (m.kind == DISPATCH_PROPERTYPUT ? "=" : ""));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"SelectionType", "SelectionType=", "BrowserType",
                                              "BrowserType=", "Show", "GetSelectedDOM",
                                              "Refresh", "DividerPosition", "DividerPosition="}));
  EXPECT_EQ(cls->events->IdOfName("evtDoubleClick"), 1);
  EXPECT_EQ(cls->events->IdOfName("evtSingleClick"), 2);
  EXPECT_TRUE(lib.FindClass("DOMDocument")->creatable);
}

}  // namespace
}  // namespace qvr
