// The control's shell: widgets, start and end, persisted properties, events.
#include "control/ctl_registry.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "control/internal/registry_connector.h"
#include "control/internal/skipping.h"
#include "registry/hive_names.h"
#include "reglib/qvr_cls_value.h"

namespace qvr {

// Forwards the registry object's events to the control. The registry object
// holds its sinks weakly, so the control owns this forwarder.
class ctlRegistry::RegistrySink : public qvrClsRegistryObjectEvents {
 public:
  explicit RegistrySink(ctlRegistry& control) : control_(control) {}
  void KeyEnumerated(const std::string& RegKey, bool HasChildren) override {
    control_.m_Registry_KeyEnumerated(RegKey, HasChildren);
  }
  void ValueEnumerated(const std::shared_ptr<qvrClsValue>& Value) override {
    control_.m_Registry_ValueEnumerated(Value);
  }

 private:
  ctlRegistry& control_;
};

namespace {
using control_internal::Skipping;

// Column widths of the value list in twips (designed as 4276, 2540 and 12347
// hundredths of a millimetre).
constexpr float kNameColumnWidth = 4276.0f * 1440.0f / 2540.0f;
constexpr float kTypeColumnWidth = 1440.0f;
constexpr float kDataColumnWidth = 12347.0f * 1440.0f / 2540.0f;
// Height of the splitter bar when first placed.
constexpr float kInitialBarHeight = 45;
}  // namespace

ctlRegistry::ctlRegistry(toolkit::EventLoop& loop, toolkit::MessageService& messages)
    : loop_(loop),
      messages_(messages),
      ilSmallIcons_(std::vector<std::string>(toolkit::kSmallIconKeys.begin(),
                                             toolkit::kSmallIconKeys.end())),
      tmCheckedTimer_(loop, 10) {
  BuildWidgets();
  UserControl_Initialize();
}

ctlRegistry::~ctlRegistry() { UserControl_Terminate(); }

// What a form designer would have set: image lists, columns, the status bar
// along the bottom, the handlers of the widgets' events.
void ctlRegistry::BuildWidgets() {
  tvReg_.ImageList(&ilSmallIcons_);
  lvValues_.SmallIcons(&ilSmallIcons_);
  lvValues_.Icons(&ilSmallIcons_);
  lvValues_.ColumnHeaders().Add(0, "NAME", "Name", kNameColumnWidth);
  lvValues_.ColumnHeaders().Add(0, "KIND", "Type", kTypeColumnWidth);
  lvValues_.ColumnHeaders().Add(0, "VALUE", "Data", kDataColumnWidth);
  tmCheckedTimer_.Enabled(false);

  tvReg_.OnExpand([this](const toolkit::NodePtr& n) { Guard([&] { tvReg_Expand(n); }); });
  tvReg_.OnNodeClick([this](const toolkit::NodePtr& n) { Guard([&] { tvReg_NodeClick(n); }); });
  tvReg_.OnNodeCheck([this](const toolkit::NodePtr& n) { Guard([&] { tvReg_NodeCheck(n); }); });
  tvReg_.OnDblClick([this] { Guard([&] { tvReg_DblClick(); }); });
  tvReg_.OnKeyDown([this](int16_t& k, int16_t& s) { Guard([&] { tvReg_KeyDown(k, s); }); });
  lvValues_.OnClick([this] { Guard([&] { lvValues_Click(); }); });
  lvValues_.OnDblClick([this] { Guard([&] { lvValues_DblClick(); }); });
  lvValues_.OnItemClick(
      [this](const toolkit::ListItemPtr& i) { Guard([&] { lvValues_ItemClick(i); }); });
  lvValues_.OnItemCheck(
      [this](const toolkit::ListItemPtr& i) { Guard([&] { lvValues_ItemCheck(i); }); });
  lvValues_.OnColumnClick(
      [this](toolkit::ColumnHeader& c) { Guard([&] { lvValues_ColumnClick(c); }); });
  pcVSplit_.OnMouseDown([this](int16_t b, int16_t s, float x, float y) {
    Guard([&] { pcVSplit_MouseDown(b, s, x, y); });
  });
  pcVSplit_.OnMouseMove([this](int16_t b, int16_t s, float x, float y) {
    Guard([&] { pcVSplit_MouseMove(b, s, x, y); });
  });
  pcVSplit_.OnMouseUp([this](int16_t b, int16_t s, float x, float y) {
    Guard([&] { pcVSplit_MouseUp(b, s, x, y); });
  });
  tmCheckedTimer_.OnTimer([this] { Guard([&] { tmCheckedTimer_Timer(); }); });
  surface_.OnResize([this] { Guard([&] { UserControl_Resize(); }); });
}

template <class Fn>
void ctlRegistry::Guard(Fn fn) {
  try {
    fn();
  } catch (const std::exception&) {
    // The boundary between the view and the control: the handlers report what
    // they must themselves, and anything else, of whatever kind, would end in
    // the view's event dispatch, which cannot do anything useful with it.
  }
}

void ctlRegistry::UserControl_Initialize() {
  m_Nodes = &tvReg_.Nodes();
  InitRegistryBrowser();
}

void ctlRegistry::InitRegistryBrowser() {
  m_Registry = qvrClsRegistryObject::Create();
  registry_sink_ = std::make_shared<RegistrySink>(*this);
  registry_cookie_ = m_Registry->Advise(registry_sink_);
  m_colSelection = std::make_shared<qvrCollection>();
  m_hWndTree = tvReg_.hWnd();
  m_hHives = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
              HKEY_CURRENT_CONFIG};
  // The names from the one table of hive names; every predefined hive is in it.
  for (size_t i = 0; i < m_hHives.size(); ++i) {
    m_strHiveNames[i] = FindHiveByHandle(m_hHives[i])->full;
  }
  const float width = surface_.ScaleWidth();
  const float height = surface_.ScaleHeight();
  pcVSplit_.Move(0, height * 0.5f, width, kInitialBarHeight);
  m_lLayoutHeight = static_cast<int32_t>(std::nearbyint(height));

  // The panes as designed around the bar, until the first layout.
  const float bar_bottom = pcVSplit_.Top() + pcVSplit_.Height();
  const float status_height = sbStatusBar_.Height();
  sbStatusBar_.Move(0, std::max(0.0f, height - status_height), width, status_height);
  tvReg_.Move(0, 0, width, bar_bottom);
  lvValues_.Move(0, bar_bottom, width, std::max(0.0f, height - (status_height + pcVSplit_.Top())));
}

void ctlRegistry::UserControl_Terminate() {
  if (!m_Registry) return;
  m_Registry->AbortEnum();
  m_Registry->Unadvise(registry_cookie_);
  m_Registry.reset();
  registry_sink_.reset();
  m_colSelection.reset();
  ReleaseRemoteHives();
}

// ---- Properties ----

void ctlRegistry::DividerPosition(int32_t New_DividerPosition) {
  m_DividerPosition = New_DividerPosition;
  ApplyDividerPosition();
}

void ctlRegistry::UserControl_ReadProperties(const toolkit::PropertyBag& PropBag) {
  // Each step that fails is skipped; a damaged bag restores what it can.
  auto read_long = [&](const char* name, int32_t* out) {
    Skipping([&] { *out = PropBag.ReadProperty(name, Variant(int32_t{0})).ToLong(); });
  };
  int32_t browser = m_BrowserType, selection = m_SelectionType;
  read_long("BrowserType", &browser);
  m_BrowserType = static_cast<eBrowserType>(browser);
  read_long("SelectionType", &selection);
  m_SelectionType = static_cast<eSelectionType>(selection);
  read_long("DividerPosition", &m_DividerPosition);
  const bool checkboxes = m_SelectionType != SingleSelect;
  tvReg_.Checkboxes(checkboxes);
  lvValues_.Checkboxes(checkboxes);
  tvReg_.Refresh();
  lvValues_.Refresh();
  Skipping([&] { ApplyDividerPosition(); });
}

void ctlRegistry::UserControl_WriteProperties(toolkit::PropertyBag& PropBag) const {
  auto write_long = [&](const char* name, int32_t value) {
    Skipping([&] { PropBag.WriteProperty(name, Variant(value), Variant(int32_t{0})); });
  };
  write_long("BrowserType", m_BrowserType);
  write_long("SelectionType", m_SelectionType);
  write_long("DividerPosition", m_DividerPosition);
}

// ---- Events ----

bool ctlRegistry::IsValidSelection() const {
  return m_strSelectedPath.find('\\') != std::string::npos || !m_strSelectedValue.empty();
}

uint32_t ctlRegistry::Advise(const std::shared_ptr<ctlRegistryEvents>& sink) {
  return sinks_.Advise(sink);
}

void ctlRegistry::Unadvise(uint32_t cookie) { sinks_.Unadvise(cookie); }

void ctlRegistry::RaiseSingleClick() {
  const bool valid = IsValidSelection();
  sinks_.Deliver([&](ctlRegistryEvents& sink) {
    // Passed by reference, but what a sink writes back is not used.
    bool bValidSelection = valid;
    sink.evtSingleClick(bValidSelection);
  });
}

void ctlRegistry::RaiseDoubleClick() {
  if (m_SelectionType != SingleSelect) return;
  sinks_.Deliver([](ctlRegistryEvents& sink) { sink.evtDoubleClick(); });
}

// ---- Failure messages ----

void ctlRegistry::ShowUncaught(const std::string& routine) {
  messages_.MsgBox("Uncaught error occurred in " + routine + "()",
                   toolkit::vbOKOnly + toolkit::vbCritical, "Uncaught Exception");
}

}  // namespace qvr
