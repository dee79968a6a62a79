// A registry browser control over a fresh temporary registry, a manual event
// loop and a message service that records, with helpers that write keys and
// values and act as a person would.
#ifndef QVR_TESTS_CONTROL_CONTROL_FIXTURE_H_
#define QVR_TESTS_CONTROL_CONTROL_FIXTURE_H_

#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/ctl_registry.h"
#include "registry/registry_api.h"
#include "selection/internal/selection_access.h"
#include "support/registry_values.h"
#include "support/temp_registry.h"
#include "support/well_formed.h"
#include "toolkit/toolkit.h"

namespace qvr {

const std::string kHklm = "_&H80000002";
const std::string kHku = "_&H80000003";

// Records the control's events.
class EventLog : public ctlRegistryEvents {
 public:
  void evtDoubleClick() override { double_clicks++; }
  void evtSingleClick(bool& bValidSelection) override {
    single_clicks.push_back(bValidSelection);
    bValidSelection = !bValidSelection;  // the control must not read this back
  }
  int double_clicks = 0;
  std::vector<bool> single_clicks;
};

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override { control_->Advise(events_); }

  // Restores the properties with a multiple-selection bag.
  static void UseMultiSelect(ctlRegistry& control) {
    toolkit::PropertyBag bag;
    bag.WriteProperty("SelectionType", Variant(int32_t{1}));
    control.UserControl_ReadProperties(bag);
  }
  void UseMultiSelect() { UseMultiSelect(*control_); }

  // Creates a key (and its parents) below a hive, with `count` sub-keys
  // "K0", "K1", ... when asked.
  static HKEY Create(HKEY hive, const std::string& path) {
    HKEY h = 0;
    EXPECT_EQ(RegCreateKeyExA(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    return h;
  }
  static void MakeKey(HKEY hive, const std::string& path, int count = 0) {
    HKEY h = Create(hive, path);
    for (int i = 0; i < count; ++i) RegCloseKey(Create(h, "K" + std::to_string(i)));
    RegCloseKey(h);
  }
  // Creates `path` on `machine`, added to the temporary store first.
  void MakeRemoteKey(const std::string& machine, const std::string& path) {
    temp_.AddMachine(machine);
    HKEY remote = 0;
    ASSERT_EQ(RegConnectRegistryA(machine.c_str(), HKEY_LOCAL_MACHINE, &remote), ERROR_SUCCESS);
    RegCloseKey(Create(remote, path));
    RegCloseKey(remote);
  }
  static void DeleteKey(HKEY hive, const std::string& path) {
    ASSERT_EQ(RegDeleteKeyA(hive, path.c_str()), ERROR_SUCCESS) << path;
  }
  static void SetValue(HKEY hive, const std::string& path, const std::string& name, DWORD type,
                       const std::string& bytes) {
    HKEY h = Create(hive, path);
    EXPECT_EQ(RegSetValueExA(h, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS)
        << name;
    RegCloseKey(h);
  }
  static void SetString(HKEY hive, const std::string& path, const std::string& name,
                        const std::string& text) {
    testing::PutString(hive, path, name, text);
  }

  toolkit::TreeView& Tree() { return control_->tvReg(); }
  toolkit::ListView& List() { return control_->lvValues(); }
  toolkit::Nodes& Nodes() { return Tree().Nodes(); }
  toolkit::NodePtr Node(const std::string& key) { return Nodes().Find(key); }
  std::string Status() { return control_->sbStatusBar().Panels(1).Text(); }
  std::string Images(const std::string& key) {
    return Node(key)->Image() + "/" + Node(key)->SelectedImage();
  }
  // One letter per node: 'M' marked as leading to a pick (SELECTKEY/SELECTOPEN),
  // 'P' plain (REGKEY/KEYOPEN), '?' anything else.
  std::string Marks(std::initializer_list<std::string> keys) {
    std::string marks;
    for (const std::string& key : keys) {
      const std::string images = Images(key);
      marks += images == "SELECTKEY/SELECTOPEN" ? 'M' : images == "REGKEY/KEYOPEN" ? 'P' : '?';
    }
    return marks;
  }

  // A person opens a node, clicks it, ticks a node or a row.
  void Open(const std::string& key) {
    toolkit::NodePtr node = Node(key);
    ASSERT_TRUE(node) << key;
    if (!node->Expanded() && node->Children() > 0) Tree().UserExpand(node);
  }
  void Click(const std::string& key) { ASSERT_TRUE(Node(key)) << key; Tree().UserClick(Node(key)); }
  void TickNode(const std::string& key, bool checked = true) {
    ASSERT_TRUE(Node(key)) << key;
    Tree().UserCheck(Node(key), checked);
  }
  void Tick(const std::string& row, bool checked = true) {
    ASSERT_TRUE(Row(row)) << row;
    List().UserCheck(Row(row), checked);
  }
  // Opens every level of a node-key path ("_&H80000002\SOFTWARE\X") in turn.
  void OpenPath(const std::string& key) {
    for (size_t p = key.find('\\'); ; p = key.find('\\', p + 1)) {
      Open(key.substr(0, p));
      if (p == std::string::npos) break;
    }
  }

  // Adds `levels` nodes below `key`, each the only child of the one before,
  // all with the text "k" and marked or plain; returns the deepest. Trees this
  // deep come only from the model: the registry keeps keys within 512 levels.
  toolkit::NodePtr AddChain(const std::string& key, int levels, bool marked) {
    toolkit::NodePtr node = Node(key);
    for (int i = 0; i < levels; ++i) {
      node = Nodes().Add(node, toolkit::tvwChild, "", "k", marked ? "SELECTKEY" : "REGKEY",
                         marked ? "SELECTOPEN" : "KEYOPEN");
    }
    return node;
  }
  // How many nodes from `node` up to the computer's are marked.
  static int MarkedUpFrom(toolkit::NodePtr node) {
    int marked = 0;
    for (; node->Parent(); node = node->Parent()) {
      marked += node->Image() == "SELECTKEY" && node->SelectedImage() == "SELECTOPEN";
    }
    return marked;
  }
  // Files a record for the value "V" under a display path, as ticking its row
  // would (the selection's host view is read-only).
  void FileValue(const std::string& path, const std::string& hive, const std::string& key) {
    auto& selection = const_cast<qvrCollection&>(control_->Selection());
    auto set = selection.item(Variant(path));
    if (!set) set = selection_internal::SelectionAccess::Add(selection, path);
    selection_internal::SelectionAccess::Add(*set, "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}", "V",
                                             "Wizard Generated Registry Item", "7", "U", "0",
                                             hive, key, "V", "REG_SZ", "v", "V");
  }
  // Runs `fn` on a thread with a 1 MiB stack: room for any one level's work
  // (case folding, XML), but a walk that recursed once per tree level would
  // run out long before the deep chains' 100,000 levels, whatever the
  // process's own stack limit.
  static void RunOnSmallStack(const std::function<void()>& fn) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1024 * 1024);
    pthread_t thread;
    auto body = [](void* f) -> void* {
      (*static_cast<const std::function<void()>*>(f))();
      return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, body, const_cast<std::function<void()>*>(&fn)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
  }

  // Texts of the children of a node, in tree order.
  std::vector<std::string> ChildTexts(const std::string& key) {
    std::vector<std::string> texts;
    for (toolkit::NodePtr c = Node(key)->Child(); c; c = c->Next()) texts.push_back(c->Text());
    return texts;
  }
  // Texts of the value list's rows, in order.
  std::vector<std::string> RowTexts(int column = 0) {
    std::vector<std::string> texts;
    for (int32_t i = 1; i <= RowCount(); ++i) {
      auto row = List().ListItems().Item(i);
      texts.push_back(column == 0 ? row->Text() : row->SubItems(column));
    }
    return texts;
  }
  toolkit::ListItemPtr Row(const std::string& text) {
    for (int32_t i = 1; i <= RowCount(); ++i) {
      if (List().ListItems().Item(i)->Text() == text) return List().ListItems().Item(i);
    }
    return nullptr;
  }
  int RowCount() { return List().ListItems().Count(); }
  // The records filed for a display path ("HKEY_LOCAL_MACHINE\SOFTWARE\X").
  std::shared_ptr<qvrSelectedData> Records(const std::string& path) {
    return control_->Selection().item(Variant(path));
  }
  void ExpectNoMessages() { EXPECT_TRUE(messages_.Messages().empty()); }
  void ExpectOneMessage(const std::string& prompt) {
    ASSERT_EQ(messages_.Messages().size(), 1u);
    EXPECT_EQ(messages_.Messages()[0],
              (toolkit::RecordedMessage{prompt, 16, "Uncaught Exception"}));
  }

  testing::TempRegistry temp_;
  toolkit::ManualEventLoop loop_;
  toolkit::RecordingMessageService messages_;
  std::unique_ptr<ctlRegistry> control_ = std::make_unique<ctlRegistry>(loop_, messages_);
  std::shared_ptr<EventLog> events_ = std::make_shared<EventLog>();
};

}  // namespace qvr

#endif  // QVR_TESTS_CONTROL_CONTROL_FIXTURE_H_
