// ctlRegistry: the registry browser control.
//
// From top to bottom it stacks a tree of the computer, its hives and their keys
// (tvReg), a splitter bar (pcVSplit), the values of the key clicked last
// (lvValues: "Name", "Type", "Data") and a status bar (sbStatusBar). The host
// calls Show to fill the tree for this machine or a named one, hears
// evtSingleClick and evtDoubleClick, and finally calls GetSelectedDOM to get
// what the person picked as elements appended to an XML document.
//
// The tree fills lazily: a key's sub-keys are listed the first time its node
// is opened. In single selection the pick is the key or value clicked last; in
// multiple selection it is every value and key whose check box is ticked, and
// the tree marks the keys on the way to a pick.
//
// The control is headless: its widgets are toolkit models that a view shows
// and that report a person's actions (see toolkit/). It runs on the
// host's user-interface thread; timers and the pauses of long listings go
// through the host's EventLoop, and failure messages through its
// MessageService. No error reaches the host: public methods and handlers trap
// their own failures (showing a message box where one is due).
//
// Example:
//   toolkit::ManualEventLoop loop;
//   toolkit::RecordingMessageService messages;
//   ctlRegistry control(loop, messages);
//   control.UserControl_ReadProperties(bag);   // or nothing, for a new one
//   control.Show();                             // this machine
//   ... a person clicks and ticks through control.tvReg() / lvValues() ...
//   DOMDocument doc;
//   doc.loadXML("<Items/>");
//   control.GetSelectedDOM(&doc);
#ifndef QVR_CONTROL_CTL_REGISTRY_H_
#define QVR_CONTROL_CTL_REGISTRY_H_

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "automation/sink_list.h"
#include "control/ctl_registry_events.h"
#include "control/ctl_registry_types.h"
#include "registry/registry_api.h"
#include "toolkit/toolkit.h"
#include "xml/dom_document.h"
#include "reglib/qvr_cls_registry_object.h"
#include "selection/qvr_collection.h"

namespace qvr {

class qvrClsValue;

class ctlRegistry {
 public:
  // Starts the control: its registry object and selection, the hive tables,
  // the splitter at half the height. `loop` and `messages` must outlive it.
  ctlRegistry(toolkit::EventLoop& loop, toolkit::MessageService& messages);
  // Stops a listing still running, closes the remote machine's hives and
  // releases the registry object and the selection.
  ~ctlRegistry();
  ctlRegistry(const ctlRegistry&) = delete;
  ctlRegistry& operator=(const ctlRegistry&) = delete;

  // ---- Automation interface, in slot order ----

  // How the person picks. Writing only stores it; the check boxes follow at
  // the next UserControl_ReadProperties.
  eSelectionType SelectionType() const { return m_SelectionType; }
  void SelectionType(eSelectionType New_SelectionType) { m_SelectionType = New_SelectionType; }

  // No behaviour depends on it; it is kept and persisted.
  eBrowserType BrowserType() const { return m_BrowserType; }
  void BrowserType(eBrowserType New_BrowserType) { m_BrowserType = New_BrowserType; }

  // Fills the tree for this machine (no name, or "") or for a named machine
  // (its HKEY_LOCAL_MACHINE and HKEY_USERS only), emptying tree, list and
  // selection first, and selects the computer node. False when a machine was
  // named and neither of its hives could be reached; the control is then
  // empty.
  bool Show(const std::string& szMachineName = "");

  // Appends what was picked to the document element of `xmlDomDoc`: in single
  // selection one Registry element for the key and row last clicked; in
  // multiple selection Collection elements mirroring the marked keys, with a
  // Registry element per ticked key and value, after which the selection is
  // emptied. Failures show a message box; nothing is raised.
  void GetSelectedDOM(DOMDocument* xmlDomDoc);

  // Lists the selected node's sub-keys and values afresh (also F5 in the tree).
  void Refresh();

  // The top of the splitter bar, in twips, as the host asked for it; 0 or less
  // leaves the bar where the layout puts it. Writing places the bar at once.
  int32_t DividerPosition() const { return m_DividerPosition; }
  void DividerPosition(int32_t New_DividerPosition);

  // ---- Container ----

  // Restores the persisted properties ("BrowserType", "SelectionType",
  // "DividerPosition", Longs, default 0) and applies them.
  void UserControl_ReadProperties(const toolkit::PropertyBag& PropBag);
  // Saves them.
  void UserControl_WriteProperties(toolkit::PropertyBag& PropBag) const;

  // ---- Events ----

  // Connects a sink to evtDoubleClick and evtSingleClick; returns its cookie
  // (never 0). The control does not keep the sink alive; a sink that has ended
  // is skipped. Sinks hear each event in the order they were connected; a
  // sink connected from inside an event hears from the next event on.
  uint32_t Advise(const std::shared_ptr<ctlRegistryEvents>& sink);
  // Undoes a connection; unknown cookies are ignored. Safe from inside an
  // event: a sink disconnected during a delivery hears nothing more of it.
  void Unadvise(uint32_t cookie);

  // ---- Widgets, for views and for tests acting as a person ----

  toolkit::UserControl& Surface() { return surface_; }
  toolkit::TreeView& tvReg() { return tvReg_; }
  toolkit::ListView& lvValues() { return lvValues_; }
  toolkit::StatusBar& sbStatusBar() { return sbStatusBar_; }
  toolkit::PictureBox& pcVSplit() { return pcVSplit_; }
  const toolkit::ImageList& ilSmallIcons() const { return ilSmallIcons_; }
  toolkit::Timer& tmCheckedTimer() { return tmCheckedTimer_; }

  // The handle through which the tree reads the hive whose long name is
  // `hive_name` (HKEY_LOCAL_MACHINE, ...): the remote machine's own for HKLM
  // and HKU while one is shown; 0 for a hive the tree does not show.
  HKEY ShownHive(std::string_view hive_name) const;

  // What the person has ticked so far (multiple selection).
  const qvrCollection& Selection() const { return *m_colSelection; }

 private:
  class RegistrySink;

  // Shell.
  void BuildWidgets();
  void UserControl_Initialize();
  void InitRegistryBrowser();
  void UserControl_Terminate();
  bool IsValidSelection() const;
  void RaiseSingleClick();
  void RaiseDoubleClick();
  // Runs a handler of a person's action; a failure the handler does not
  // report itself is dropped rather than passed to the view that delivered
  // the action.
  template <class Fn>
  void Guard(Fn fn);

  // Layout and splitter.
  void UserControl_Resize();
  void ApplyDividerPosition();
  void LayOutList();
  void pcVSplit_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
  void pcVSplit_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
  void pcVSplit_MouseUp(int16_t Button, int16_t Shift, float X, float Y);

  // Show.
  void ShowLocal();
  bool ShowRemote(const std::string& szMachineName);
  void AddRootAndHives(const std::vector<int>& hive_indexes);
  void ReleaseRemoteHives();

  // Tree navigation.
  std::string GetNodeKeyPath(const toolkit::NodePtr& node, HKEY& hive) const;
  bool EnumerateSubKeys(const std::string& path, HKEY hive);
  void m_Registry_KeyEnumerated(const std::string& RegKey, bool HasChildren);
  bool AddKeyNode(const std::string& path, bool hasSubKeys, HKEY hive);
  void PopulateNode(const std::string& nodeKey);
  void tvReg_Expand(const toolkit::NodePtr& Node);
  void LoadNodeValues(const toolkit::NodePtr& node);
  void tvReg_NodeClick(const toolkit::NodePtr& Node);
  void NavigateToKey(const std::string& strKeyPath, bool bExpandLast);
  void tvReg_DblClick();
  bool IsRootNode(const toolkit::NodePtr& node) const;
  bool IsHiveNode(const toolkit::NodePtr& node) const;
  // The hive name and the sub-key path of a node, joined by "\": the display
  // path. "" for the computer node.
  std::string DisplayPathOf(const toolkit::NodePtr& node) const;
  // The same from a hive and a sub-key path, as GetNodeKeyPath gives them.
  std::string DisplayPathOf(HKEY hive, const std::string& subKey) const;
  std::string HiveNameOf(HKEY hive) const;

  // Node images and check boxes.
  void ChangeImage(int32_t lMode, toolkit::NodePtr oNode);
  void tvReg_NodeCheck(const toolkit::NodePtr& Node);
  void tmCheckedTimer_Timer();

  // Selection bookkeeping.
  void AddToCollection();
  void DeleteFromCollection();
  void ShowUncaught(const std::string& routine);

  // Value list.
  void m_Registry_ValueEnumerated(const std::shared_ptr<qvrClsValue>& Value);
  void lvValues_Click();
  void lvValues_DblClick();
  void lvValues_ItemClick(const toolkit::ListItemPtr& Item);
  void lvValues_ItemCheck(const toolkit::ListItemPtr& Item);
  void lvValues_ColumnClick(toolkit::ColumnHeader& ColumnHeader);

  // XML export.
  void PopulateDomWithSingleItem(DOMDocument* xmlDomDoc);
  void PopulateDomWithMultipleItems(toolkit::NodePtr node, DOMDocument* xmlDomDoc,
                                    DOMElement xmlParent);
  bool PopulateDomWithKeyItems(DOMDocument* xmlDomDoc, DOMElement& xmlParent,
                               const std::string& strKeyPath);

  // Refresh.
  void tvReg_KeyDown(int16_t& KeyCode, int16_t& Shift);

  toolkit::EventLoop& loop_;
  toolkit::MessageService& messages_;

  // Child widgets.
  toolkit::UserControl surface_;
  toolkit::ImageList ilSmallIcons_;
  toolkit::TreeView tvReg_;
  toolkit::ListView lvValues_;
  toolkit::StatusBar sbStatusBar_;
  toolkit::PictureBox pcVSplit_;
  toolkit::Timer tmCheckedTimer_;

  // Members.
  std::shared_ptr<qvrClsRegistryObject> m_Registry;
  std::shared_ptr<RegistrySink> registry_sink_;
  uint32_t registry_cookie_ = 0;
  std::shared_ptr<qvrCollection> m_colSelection;
  toolkit::Nodes* m_Nodes = nullptr;
  int32_t m_hWndTree = 0;
  std::array<HKEY, 5> m_hHives{};
  std::array<std::string, 5> m_strHiveNames;
  eSelectionType m_SelectionType = SingleSelect;
  eBrowserType m_BrowserType = Registry;
  int32_t m_DividerPosition = 0;
  std::string m_strMachineText;
  bool m_bBusy = false;
  bool m_bRefreshing = false;
  int32_t m_lKeyCount = 0;
  std::string m_strEnumPath;
  HKEY m_hEnumHive = 0;
  std::string m_strSubKey;
  std::string m_strSelectedPath;
  std::string m_strSelectedValue;
  toolkit::NodePtr m_nodSelected;
  toolkit::NodePtr m_nodValuesShown;
  int32_t m_lLayoutHeight = 0;
  toolkit::ListItemPtr m_itmChecked;
  bool m_bDragging = false;

  // Hives of the remote machine shown, to be closed when no longer shown.
  HKEY remote_local_machine_ = 0;
  HKEY remote_users_ = 0;
  // Counts the trees Show has built; a sub-key listing belongs to the tree of
  // the count it started under and stops once Show has built another.
  uint64_t show_generation_ = 0;
  uint64_t enum_generation_ = 0;

  // While a key's values are listed: the folded names of its values picked
  // already.
  std::unordered_set<std::string> listed_picks_;

  SinkList<ctlRegistryEvents> sinks_;
};

}  // namespace qvr

#endif  // QVR_CONTROL_CTL_REGISTRY_H_
