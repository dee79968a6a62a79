// The late-bound faces of the browser control ctlRegistry, of what a person
// does with it (a second interface of the same object), and of the XML
// document hosts hand to GetSelectedDOM.
#include <cmath>
#include <memory>
#include <vector>

#include "control/ctl_registry.h"
#include "control/ctl_registry_events.h"
#include "control/pick_reg_file.h"
#include "automation/automation_error.h"
#include "toolkit/manual_event_loop.h"
#include "toolkit/property_bag.h"
#include "toolkit/recording_message_service.h"
#include "xml/dom_document.h"
#include "selection/internal/selection_access.h"
#include "server/binding_support.h"
#include "server/catalog.h"
#include "server/identifiers.h"

namespace qvr::server {
namespace {

constexpr const char* kControl = "_ctlRegistry";
constexpr const char* kControlEvents = "__ctlRegistry";
constexpr const char* kControlUser = "_ctlRegistryUI";
constexpr const char* kDocument = "_DOMDocument";

// The control with the site it runs in: an event loop whose clock the host
// advances (the check-box timer runs on it) and a message service that keeps
// the message boxes the control shows.
class ControlSite : public Object {
 public:
  ControlSite() : control(loop, messages) {}

  toolkit::ManualEventLoop loop;
  toolkit::RecordingMessageService messages;
  ctlRegistry control;
};

class DocumentHolder : public Object {
 public:
  DOMDocument doc;
};

class ControlEventBridge : public ctlRegistryEvents {
 public:
  explicit ControlEventBridge(DispatchObject* owner) : owner_(owner) {}
  void evtDoubleClick() override {
    std::vector<Variant> args;
    owner_->FireEvent(kDoubleClickDispId, args);
  }
  void evtSingleClick(bool& bValidSelection) override {
    std::vector<Variant> args{Variant(bValidSelection)};
    owner_->FireEvent(kSingleClickDispId, args);
    bValidSelection = args[0].ToBool();
  }

 private:
  DispatchObject* owner_;
};

class ControlServer : public DispatchObject {
 public:
  ControlServer(std::shared_ptr<ControlSite> site, const DispatchTable& table,
                const InterfaceInfo* events, const DispatchTable& user_table)
      : DispatchObject(site, table, events),
        site_(std::move(site)),
        bridge_(std::make_shared<ControlEventBridge>(this)),
        cookie_(site_->control.Advise(bridge_)),
        user_table_(user_table) {}
  ~ControlServer() override { site_->control.Unadvise(cookie_); }

  HRESULT QueryInterface(const Guid& iid, void** object) override {
    if (iid != server_ids::kControlUserInterface) return DispatchObject::QueryInterface(iid, object);
    if (!object) return E_POINTER;
    // A tear-off: its own object over the same control.
    if (!user_) user_ = ComPtr<Dispatch>(new DispatchObject(site_, user_table_));
    *object = user_.Get();
    user_->AddRef();
    return S_OK;
  }

 private:
  std::shared_ptr<ControlSite> site_;
  std::shared_ptr<ControlEventBridge> bridge_;
  uint32_t cookie_;
  const DispatchTable& user_table_;
  ComPtr<Dispatch> user_;
};

toolkit::NodePtr NodeOf(ControlSite& s, const Arguments& a) {
  return s.control.tvReg().Nodes().Item(a.String(0));
}

toolkit::ListItemPtr RowOf(ControlSite& s, const Arguments& a) {
  return s.control.lvValues().ListItems().Item(a.Long(0));
}

// The pane a person sees under `name`, as the form names its widgets.
const toolkit::Widget& PaneOf(ControlSite& s, const std::string& name) {
  if (name == "tvReg") return s.control.tvReg();
  if (name == "pcVSplit") return s.control.pcVSplit();
  if (name == "lvValues") return s.control.lvValues();
  if (name == "sbStatusBar") return s.control.sbStatusBar();
  throw errors::InvalidProcedureCall("ctlRegistry");
}

// A copy of the selection as it stands: later picks and the export's emptying
// leave it alone.
std::shared_ptr<qvrCollection> CopyOf(const qvrCollection& from) {
  using selection_internal::SelectionAccess;
  auto copy = std::make_shared<qvrCollection>();
  for (int32_t i = 1; i <= from.Count(); ++i) {
    auto into = SelectionAccess::Add(*copy, SelectionAccess::PathAt(from, i));
    for (const auto& r : *from.item(Variant(i))) {
      SelectionAccess::Add(*into, r->strRegistryClsID, r->strRegistryName, r->strRegistryDesc,
                           r->strRegistryImage, r->strPropSheetAct, r->strPropSheetDefault,
                           r->strPropSheetHive, r->strPropSheetKey, r->strPropSheetName,
                           r->strPropSheetType, r->strPropSheetValue, r->strPropSheetName);
    }
  }
  return copy;
}

void BindControl(Catalog& catalog, const InterfaceInfo*& events_out) {
  using S = ControlSite;
  TypeLibrary& lib = catalog.MutableLibrary();
  InterfaceInfo& iface = lib.AddInterface(server_ids::kControlInterface, kControl);
  InterfaceBuilder<S> b(catalog.AddTable(iface));
  b.Get("SelectionType", "eSelectionType", {},
        [](S& s, Arguments&) { return Variant(static_cast<int32_t>(s.control.SelectionType())); });
  b.Put("SelectionType", "eSelectionType", {Param("New_SelectionType", "eSelectionType")},
        [](S& s, Arguments& a) {
          s.control.SelectionType(static_cast<eSelectionType>(a.Long(0)));
          return Nothing();
        });
  b.Get("BrowserType", "eBrowserType", {},
        [](S& s, Arguments&) { return Variant(static_cast<int32_t>(s.control.BrowserType())); });
  b.Put("BrowserType", "eBrowserType", {Param("New_BrowserType", "eBrowserType")},
        [](S& s, Arguments& a) {
          s.control.BrowserType(static_cast<eBrowserType>(a.Long(0)));
          return Nothing();
        });
  b.Method("Show", "Boolean", {OptParam("szMachineName", "String", Variant(""))},
           [](S& s, Arguments& a) { return Variant(s.control.Show(a.String(0))); });
  b.Method("GetSelectedDOM", "", {RefParam("xmlDomDoc", "DOMDocument")}, [](S& s, Arguments& a) {
    auto holder = std::dynamic_pointer_cast<DocumentHolder>(DispatchObject::NativeOf(a[0]));
    // The control reports a missing document itself, as for every failure.
    s.control.GetSelectedDOM(holder ? &holder->doc : nullptr);
    return Nothing();
  });
  b.Method("Refresh", "", {}, [](S& s, Arguments&) {
    s.control.Refresh();
    return Nothing();
  });
  b.Get("DividerPosition", "Long", {},
        [](S& s, Arguments&) { return Variant(s.control.DividerPosition()); });
  b.Put("DividerPosition", "Long", {Param("New_DividerPosition", "Long")}, [](S& s, Arguments& a) {
    s.control.DividerPosition(a.Long(0));
    return Nothing();
  });

  InterfaceInfo& events = lib.AddInterface(server_ids::kControlEvents, kControlEvents, true);
  DispatchTable& event_table = catalog.AddTable(events);
  AddEvent(event_table, ctlRegistryEvents::kDoubleClickDispId, "evtDoubleClick");
  AddEvent(event_table, ctlRegistryEvents::kSingleClickDispId, "evtSingleClick",
           {RefParam("bValidSelection", "Boolean")});
  events_out = &events;

  ClassInfo cls;
  cls.clsid = server_ids::kControlClass;
  cls.name = "ctlRegistry";
  cls.description = "Registry browser control: tree of keys, value list, picking, XML export";
  cls.default_interface = &iface;
  cls.events = &events;
  cls.creatable = true;
  cls.control = true;
  lib.AddClass(cls);
}

// Where the panes are, the splitter a person drags, and the images shown.
void BindLayoutAndImages(InterfaceBuilder<ControlSite>& b) {
  using S = ControlSite;
  const auto y = [] { return std::vector<ParamInfo>{Param("Y", "Single")}; };
  b.Method("PaneRect", "Long()", {Param("Name", "String")}, [](S& s, Arguments& a) {
    const toolkit::Widget& w = PaneOf(s, a.String(0));
    std::vector<Variant> rect;
    for (float v : {w.Left(), w.Top(), w.Width(), w.Height()}) {
      rect.emplace_back(static_cast<int32_t>(std::lround(v)));
    }
    return Variant::Array(vbLong, std::move(rect));
  });
  b.Get("SplitterColor", "Long", {}, [](S& s, Arguments&) {
    return Variant(static_cast<int32_t>(s.control.pcVSplit().BackColor()));
  });
  b.Method("ColumnWidth", "Single", {Param("Index", "Long")}, [](S& s, Arguments& a) {
    return Variant(s.control.lvValues().ColumnHeaders().Item(a.Long(0)).Width());
  });
  b.Method("Resize", "", {Param("Width", "Single"), Param("Height", "Single")},
           [](S& s, Arguments& a) {
             s.control.Surface().Resize(static_cast<float>(a[0].ToDouble()),
                                        static_cast<float>(a[1].ToDouble()));
             return Nothing();
           });
  // The left button, at the bar's left edge; Y is from the bar's top.
  b.Method("SplitterMouseDown", "", y(), [](S& s, Arguments& a) {
    s.control.pcVSplit().UserMouseDown(1, 0, 0, static_cast<float>(a[0].ToDouble()));
    return Nothing();
  });
  b.Method("SplitterMouseMove", "", y(), [](S& s, Arguments& a) {
    s.control.pcVSplit().UserMouseMove(1, 0, 0, static_cast<float>(a[0].ToDouble()));
    return Nothing();
  });
  b.Method("SplitterMouseUp", "", y(), [](S& s, Arguments& a) {
    s.control.pcVSplit().UserMouseUp(1, 0, 0, static_cast<float>(a[0].ToDouble()));
    return Nothing();
  });
  b.Method("NodeSelectedImage", "String", {Param("Key", "String")},
           [](S& s, Arguments& a) { return Variant(NodeOf(s, a)->SelectedImage()); });
  b.Get("ImageKeys", "String()", {},
        [](S& s, Arguments&) { return Variant::StringArray(s.control.ilSmallIcons().Keys()); });
  b.Get("MousePointer", "Integer", {},
        [](S& s, Arguments&) { return Variant(s.control.tvReg().MousePointer()); });
  b.Method("RowIcon", "String", {Param("Index", "Long")},
           [](S& s, Arguments& a) { return Variant(RowOf(s, a)->SmallIcon()); });
  b.Method("ClickEmptyList", "", {}, [](S& s, Arguments&) {
    s.control.lvValues().UserClickEmpty();
    return Nothing();
  });
}

// What a person does with the control and sees of it. Nodes are named by
// their keys, rows by their 1-based positions.
void BindControlUser(Catalog& catalog) {
  using S = ControlSite;
  InterfaceInfo& iface =
      catalog.MutableLibrary().AddInterface(server_ids::kControlUserInterface, kControlUser);
  InterfaceBuilder<S> b(catalog.AddTable(iface));
  const auto key = [] { return std::vector<ParamInfo>{Param("Key", "String")}; };
  b.Get("NodeCount", "Long", {},
        [](S& s, Arguments&) { return Variant(s.control.tvReg().Nodes().Count()); });
  b.Get("NodeKeys", "String()", {}, [](S& s, Arguments&) {
    std::vector<std::string> keys;
    auto& nodes = s.control.tvReg().Nodes();
    for (int32_t i = 1; i <= nodes.Count(); ++i) keys.push_back(nodes.Item(i)->Key());
    return Variant::StringArray(std::move(keys));
  });
  b.Method("NodeChildren", "String()", key(), [](S& s, Arguments& a) {
    std::vector<std::string> keys;
    for (auto child = NodeOf(s, a)->Child(); child; child = child->Next()) {
      keys.push_back(child->Key());
    }
    return Variant::StringArray(std::move(keys));
  });
  b.Method("NodeText", "String", key(), [](S& s, Arguments& a) { return Variant(NodeOf(s, a)->Text()); });
  b.Method("NodeImage", "String", key(),
           [](S& s, Arguments& a) { return Variant(NodeOf(s, a)->Image()); });
  b.Method("NodeExpanded", "Boolean", key(),
           [](S& s, Arguments& a) { return Variant(NodeOf(s, a)->Expanded()); });
  b.Method("NodeChecked", "Boolean", key(),
           [](S& s, Arguments& a) { return Variant(NodeOf(s, a)->Checked()); });
  b.Get("SelectedNode", "String", {}, [](S& s, Arguments&) {
    auto node = s.control.tvReg().SelectedItem();
    return Variant(node ? node->Key() : std::string());
  });
  b.Method("Expand", "Boolean", key(),
           [](S& s, Arguments& a) { return Variant(s.control.tvReg().UserExpand(NodeOf(s, a))); });
  b.Method("Collapse", "Boolean", key(), [](S& s, Arguments& a) {
    return Variant(s.control.tvReg().UserCollapse(NodeOf(s, a)));
  });
  b.Method("Click", "Boolean", key(),
           [](S& s, Arguments& a) { return Variant(s.control.tvReg().UserClick(NodeOf(s, a))); });
  b.Method("DoubleClick", "Boolean", key(), [](S& s, Arguments& a) {
    return Variant(s.control.tvReg().UserDoubleClick(NodeOf(s, a)));
  });
  b.Method("CheckNode", "Boolean", {Param("Key", "String"), Param("Checked", "Boolean")},
           [](S& s, Arguments& a) {
             return Variant(s.control.tvReg().UserCheck(NodeOf(s, a), a.Bool(1)));
           });
  b.Method("KeyDown", "", {Param("KeyCode", "Integer"), OptParam("Shift", "Integer", Variant(int16_t{0}))},
           [](S& s, Arguments& a) {
             s.control.tvReg().UserKeyDown(static_cast<int16_t>(a.Long(0)),
                                           static_cast<int16_t>(a.Long(1)));
             return Nothing();
           });
  b.Get("RowCount", "Long", {},
        [](S& s, Arguments&) { return Variant(s.control.lvValues().ListItems().Count()); });
  b.Method("Row", "String()", {Param("Index", "Long")}, [](S& s, Arguments& a) {
    auto row = RowOf(s, a);
    return Variant::StringArray({row->Text(), row->SubItems(1), row->SubItems(2)});
  });
  b.Method("FindRow", "Long", {Param("Text", "String")}, [](S& s, Arguments& a) {
    auto& items = s.control.lvValues().ListItems();
    std::string text = a.String(0);
    for (int32_t i = 1; i <= items.Count(); ++i) {
      if (items.Item(i)->Text() == text) return Variant(i);
    }
    return Variant(int32_t{0});
  });
  b.Method("RowChecked", "Boolean", {Param("Index", "Long")},
           [](S& s, Arguments& a) { return Variant(RowOf(s, a)->Checked()); });
  b.Method("ClickRow", "Boolean", {Param("Index", "Long")}, [](S& s, Arguments& a) {
    return Variant(s.control.lvValues().UserClickItem(RowOf(s, a)));
  });
  b.Method("DoubleClickList", "", {}, [](S& s, Arguments&) {
    s.control.lvValues().UserDoubleClick();
    return Nothing();
  });
  b.Method("CheckRow", "Boolean", {Param("Index", "Long"), Param("Checked", "Boolean")},
           [](S& s, Arguments& a) {
             return Variant(s.control.lvValues().UserCheck(RowOf(s, a), a.Bool(1)));
           });
  b.Method("ClickColumn", "Boolean", {Param("Index", "Long")}, [](S& s, Arguments& a) {
    return Variant(s.control.lvValues().UserClickColumn(a.Long(0)));
  });
  b.Get("StatusText", "String", {},
        [](S& s, Arguments&) { return Variant(s.control.sbStatusBar().Panels(1).Text()); });
  b.Get("Messages", "String()", {}, [](S& s, Arguments&) {
    std::vector<std::string> texts;
    for (const auto& m : s.messages.Messages()) texts.push_back(m.Title + ": " + m.Prompt);
    return Variant::StringArray(std::move(texts));
  });
  b.Method("ClearMessages", "", {}, [](S& s, Arguments&) {
    s.messages.Clear();
    return Nothing();
  });
  b.Method("AdvanceTime", "", {Param("Milliseconds", "Long")}, [](S& s, Arguments& a) {
    s.loop.Advance(a.Long(0));
    return Nothing();
  });
  b.Method("ReadProperties", "Boolean", {Param("Text", "String")}, [](S& s, Arguments& a) {
    toolkit::PropertyBag bag;
    if (!bag.FromText(a.String(0))) return Variant(false);
    s.control.UserControl_ReadProperties(bag);
    return Variant(true);
  });
  b.Method("WriteProperties", "String", {}, [](S& s, Arguments&) {
    toolkit::PropertyBag bag;
    s.control.UserControl_WriteProperties(bag);
    return Variant(bag.ToText());
  });
  BindLayoutAndImages(b);
  b.Method("SetMessagePumpHook", "", {Param("Hook", "Object")}, [](S& s, Arguments& a) {
    s.loop.SetProcessEventsHook(HookOf(a[0]));
    return Nothing();
  });
  b.Get("Selection", "qvrCollection", {},
        [](S& s, Arguments&) { return Wrap(CopyOf(s.control.Selection())); });
  // The pick as a .reg file (control/pick_reg_file.h); taken as
  // GetSelectedDOM takes it. A failure raises with the reason, the file
  // left as it was.
  b.Method("SaveSelectedReg", "", {Param("FileName", "String")}, [](S& s, Arguments& a) {
    Status status = SavePickRegFile(s.control, a.String(0));
    if (!status.ok()) {
      throw AutomationError(errors::kInvalidProcedureCall, "ctlRegistry", status.ToString());
    }
    return Nothing();
  });
}

void BindDocument(Catalog& catalog) {
  using D = DocumentHolder;
  InterfaceInfo& iface =
      catalog.MutableLibrary().AddInterface(server_ids::kDocumentInterface, kDocument);
  InterfaceBuilder<D> b(catalog.AddTable(iface));
  b.Get("xml", "String", {}, [](D& d, Arguments&) { return Variant(d.doc.xml()); },
        kDefaultMember);
  b.Method("loadXML", "Boolean", {Param("bstrXML", "String")},
           [](D& d, Arguments& a) { return Variant(d.doc.loadXML(a.String(0))); });
  b.Method("load", "Boolean", {Param("xmlSource", "String")},
           [](D& d, Arguments& a) { return Variant(d.doc.load(a.String(0))); });
  b.Method("save", "Boolean", {Param("destination", "String")},
           [](D& d, Arguments& a) { return Variant(d.doc.save(a.String(0))); });
  b.Get("parseError", "String", {}, [](D& d, Arguments&) { return Variant(d.doc.parseError()); });
  ClassInfo cls;
  cls.clsid = server_ids::kDocumentClass;
  cls.name = "DOMDocument";
  cls.description = "XML document that receives the control's selection";
  cls.default_interface = &iface;
  cls.creatable = true;
  catalog.MutableLibrary().AddClass(cls);
  const DispatchTable* table = &catalog.Table(kDocument);
  catalog.AddMaker(server_ids::kDocumentClass, [table]() -> Unknown* {
    return static_cast<Dispatch*>(new DispatchObject(std::make_shared<D>(), *table));
  });
}

}  // namespace

void BindControls(Catalog& catalog) {
  const InterfaceInfo* events = nullptr;
  BindControl(catalog, events);
  BindControlUser(catalog);
  BindDocument(catalog);
  const DispatchTable* table = &catalog.Table(kControl);
  const DispatchTable* user = &catalog.Table(kControlUser);
  catalog.AddMaker(server_ids::kControlClass, [table, events, user]() -> Unknown* {
    auto* object = new ControlServer(std::make_shared<ControlSite>(), *table, events, *user);
    return static_cast<Dispatch*>(object);
  });
}

}  // namespace qvr::server
