// Tree navigation: lazy listing of sub-keys, node clicks, the walk along a
// node-key path.
#include <string>
#include <string_view>
#include <utility>

#include "control/ctl_registry.h"
#include "control/internal/skipping.h"
#include "control/node_keys.h"
#include "toolkit/window_messages.h"
#include "base/unicode.h"

namespace qvr {
namespace {
using control_internal::Skipping;

// The listing lets the host's message loop run once per this many keys.
constexpr int32_t kKeysPerYield = 512;

// The classes hive and its CLSID key are the ones large enough to keep a
// person waiting. Keys are compared from their second character on.
bool IsLargeKey(std::string_view node_key) {
  if (node_key.empty()) return false;
  const std::string classes = node_keys::HiveKey(HKEY_CLASSES_ROOT).substr(1);
  const std::string_view tail = node_key.substr(1);
  return tail == classes || tail == classes + "\\CLSID";
}

// Switches the tree's redrawing off for a scope, and on again however the
// scope ends.
class RedrawOff {
 public:
  explicit RedrawOff(int32_t hwnd) : hwnd_(hwnd) {
    toolkit::SendMessageA(hwnd_, toolkit::WM_SETREDRAW, 0, 0);
  }
  ~RedrawOff() { toolkit::SendMessageA(hwnd_, toolkit::WM_SETREDRAW, -1, 0); }

 private:
  int32_t hwnd_;
};

// True when the key has no sub-key at all (as opposed to one that cannot be
// listed).
bool HasNoSubKeys(HKEY handle) {
  char name[1025];
  DWORD size = sizeof(name) - 1;
  return RegEnumKeyExA(handle, 0, name, &size, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_NO_MORE_ITEMS;
}
}  // namespace

bool ctlRegistry::IsRootNode(const toolkit::NodePtr& node) const {
  return node && node->Tree() == &tvReg_ && !node->Parent();
}

bool ctlRegistry::IsHiveNode(const toolkit::NodePtr& node) const {
  return node && node->Tree() == &tvReg_ && IsRootNode(node->Parent());
}

std::string ctlRegistry::HiveNameOf(HKEY hive) const {
  for (size_t i = 0; i < m_hHives.size(); ++i) {
    if (m_hHives[i] == hive) return m_strHiveNames[i];
  }
  return "";
}

// The texts from the hive node down, joined by "\": taken from the nodes
// themselves, so a computer node whose text holds "\" (a machine written
// "\\NAME") does not shift it.
std::string ctlRegistry::DisplayPathOf(const toolkit::NodePtr& node) const {
  std::vector<const std::string*> texts;
  for (toolkit::NodePtr n = node; n && n->Parent(); n = n->Parent()) texts.push_back(&n->Text());
  std::string path;
  for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += **it;
  }
  return path;
}

std::string ctlRegistry::DisplayPathOf(HKEY hive, const std::string& subKey) const {
  std::string path = HiveNameOf(hive);
  if (!subKey.empty()) path += "\\" + subKey;
  return path;
}

std::string ctlRegistry::GetNodeKeyPath(const toolkit::NodePtr& node, HKEY& hive) const {
  hive = node_keys::HiveOf(node->Key());
  if (hive == 0) return "";
  // The sub-key path is the display path without its hive part.
  std::string path = DisplayPathOf(node);
  const size_t slash = path.find('\\');
  return slash == std::string::npos ? "" : path.substr(slash + 1);
}

bool ctlRegistry::EnumerateSubKeys(const std::string& path, HKEY hive) {
  bool result = false;
  if (m_bBusy) return false;
  m_bBusy = true;
  std::string remembered;
  Skipping([&] {
    remembered = sbStatusBar_.Panels(1).Text();
    sbStatusBar_.Panels(1).Text("Enumerating " + path);
  });
  const uint64_t generation = show_generation_;
  const uint64_t outer_generation = std::exchange(enum_generation_, generation);

  // The hive itself is opened anew as well, so that another machine's hive is
  // listed there and not here.
  HKEY handle = -1;
  Skipping([&] { handle = m_Registry->OpenKey(hive, path, true); });
  if (handle != -1) {
    m_strEnumPath = path;
    m_hEnumHive = hive;
    Skipping([&] {
      // Each sub-key arrives during this call, in m_Registry_KeyEnumerated.
      result = m_Registry->EnumKeys(handle, true, false, false) != nullptr;
      // A key without sub-keys is listed, not failed.
      if (!result) result = HasNoSubKeys(handle);
    });
    if (generation == show_generation_) {
      m_hEnumHive = 0;
      m_strEnumPath.clear();
    }
  }
  Skipping([&] { m_Registry->CloseKey(Variant(handle)); });
  enum_generation_ = outer_generation;
  // A Show while the listing ran has a tree, status text and busy state of its
  // own by now.
  if (generation == show_generation_) {
    m_lKeyCount = 0;
    m_bBusy = false;
    Skipping([&] { sbStatusBar_.Panels(1).Text(remembered); });
  }
  return result;
}

void ctlRegistry::m_Registry_KeyEnumerated(const std::string& RegKey, bool HasChildren) {
  // A key that no listing of this tree asked for.
  if (!m_bBusy || enum_generation_ != show_generation_) {
    m_Registry->AbortEnum();
    return;
  }
  const std::string full_path = m_strEnumPath.empty() ? RegKey : m_strEnumPath + "\\" + RegKey;
  Skipping([&] { AddKeyNode(full_path, HasChildren, m_hEnumHive); });
  ++m_lKeyCount;
  if (m_lKeyCount % kKeysPerYield == 0) loop_.ProcessEvents();
}

bool ctlRegistry::AddKeyNode(const std::string& path, bool hasSubKeys, HKEY hive) {
  bool result = false;
  // A key that cannot be opened for reading stays out of the tree.
  const HKEY handle = m_Registry->OpenKey(hive, path, true);
  if (handle != -1) {
    const size_t slash = path.rfind('\\');
    std::string key, parent_key, name;
    if (slash == std::string::npos) {
      parent_key = node_keys::HiveKey(hive);
      name = path;
      key = node_keys::KeyNodeKey(hive, name);
    } else if (slash + 1 < path.size()) {
      name = path.substr(slash + 1);
      key = node_keys::KeyNodeKey(hive, path);
      parent_key = node_keys::KeyNodeKey(hive, path.substr(0, slash));
    }
    if (!key.empty()) {
      toolkit::NodePtr node = m_Nodes->Find(key);
      if (!node) {
        Skipping([&] {
          m_Nodes->Add(parent_key, toolkit::tvwChild, key, name, "REGKEY", "KEYOPEN");
        });
        if (hasSubKeys) {
          Skipping([&] {
            m_Nodes->Add(key, toolkit::tvwChild, node_keys::PlaceholderKey(key), "");
          });
        }
        result = true;
      } else if (node->Children() == 0 && hasSubKeys) {
        Skipping([&] {
          m_Nodes->Add(key, toolkit::tvwChild, node_keys::PlaceholderKey(key), "");
        });
      }
    }
  }
  Skipping([&] { m_Registry->CloseKey(Variant(handle)); });
  return result;
}

void ctlRegistry::PopulateNode(const std::string& nodeKey) {
  toolkit::NodePtr node = m_Nodes->Find(nodeKey);
  if (!node || IsRootNode(node)) return;
  HKEY hive = 0;
  const std::string path = GetNodeKeyPath(node, hive);
  const uint64_t generation = show_generation_;
  if (!EnumerateSubKeys(path, hive) && generation == show_generation_) {
    node->Image("REGKEY_ERROR");
    node->SelectedImage("REGKEY_ERROR");
  }
}

void ctlRegistry::tvReg_Expand(const toolkit::NodePtr& Node) {
  const std::string placeholder = node_keys::PlaceholderKey(Node->Key());
  toolkit::NodePtr first = Node->Child();
  if (first && first->Key() == placeholder) {
    if (m_bBusy) {
      Node->Expanded(false);
      return;
    }
    m_Nodes->Remove(placeholder);
    const bool large = IsLargeKey(Node->Key());
    if (large) tvReg_.MousePointer(toolkit::ccHourglass);
    {
      RedrawOff redraw_off(m_hWndTree);
      PopulateNode(Node->Key());
    }
    if (large) {
      tvReg_.MousePointer(toolkit::ccArrow);
      tvReg_.Refresh();
    }
  }
  if (Node == tvReg_.SelectedItem()) LoadNodeValues(Node);
}

void ctlRegistry::LoadNodeValues(const toolkit::NodePtr& node) {
  if (m_bBusy) return;
  if (node == m_nodValuesShown && !m_bRefreshing) return;
  lvValues_.ListItems().Clear();
  m_nodValuesShown = node;
  HKEY hive = 0;
  const std::string path = GetNodeKeyPath(node, hive);
  // A click that came while a listing ran only noted its node. When that
  // node's values are listed later (on opening it, say), its rows are ticked
  // and filed under the selected path, so the path must become this node's,
  // as the click would have made it.
  if (std::string display_path = DisplayPathOf(hive, path); display_path != m_strSelectedPath) {
    m_strSubKey = path;
    m_strSelectedPath = std::move(display_path);
    m_strSelectedValue.clear();
    sbStatusBar_.Panels(1).Text(m_strSelectedPath);
  }
  // A hive node opens the hive itself; the computer node opens nothing.
  const HKEY handle = m_Registry->OpenKey(hive, path, true);
  if (handle == -1) return;
  // The values already picked under the key's display path, so each row can
  // be ticked without a look-up that fails for every row not picked. (The
  // listing does not let the host's loop run, so the picks cannot change
  // meanwhile.)
  listed_picks_.clear();
  if (m_colSelection->Count() > 0) {
    if (std::shared_ptr<qvrSelectedData> records =
            m_colSelection->item(Variant(m_strSelectedPath))) {
      for (const std::shared_ptr<qvrData>& record : *records) {
        listed_picks_.insert(FoldCase(record->strPropSheetName));
      }
    }
  }
  // Each value arrives during this call, in m_Registry_ValueEnumerated.
  Skipping([&] { m_Registry->EnumValues(handle, true, false, false); });
  listed_picks_.clear();
  m_Registry->CloseKey(Variant(handle));
  lvValues_.Arrange(toolkit::lvwAutoLeft);
  lvValues_.Arrange(toolkit::lvwAutoTop);
}

void ctlRegistry::tvReg_NodeClick(const toolkit::NodePtr& Node) {
  m_nodSelected = Node;
  HKEY hive = 0;
  m_strSubKey = GetNodeKeyPath(Node, hive);
  if (m_bBusy) return;

  m_bBusy = true;
  const std::string display_path = DisplayPathOf(hive, m_strSubKey);
  sbStatusBar_.Panels(1).Text(display_path);
  m_strSelectedPath = display_path;
  m_bBusy = false;

  LoadNodeValues(Node);
  m_strSelectedValue.clear();
  RaiseSingleClick();
}

void ctlRegistry::NavigateToKey(const std::string& strKeyPath, bool bExpandLast) {
  toolkit::NodePtr node;
  size_t from = 0;
  bool more = true;
  while (more) {
    const size_t p = strKeyPath.find('\\', from);
    const std::string part = p == std::string::npos ? strKeyPath : strKeyPath.substr(0, p);
    // A level that is missing leaves the previous level's node in hand.
    if (toolkit::NodePtr found = m_Nodes->Find(part)) node = found;
    if (!node) break;
    Skipping([&] {
      toolkit::NodePtr parent = node->Parent();
      if (parent && !parent->Expanded()) parent->Expanded(true);
    });
    more = p != std::string::npos;
    from = p + 1;
    if (more || bExpandLast) {
      Skipping([&] {
        tvReg_Expand(node);
        node->Expanded(true);
      });
    }
  }
  if (node) {
    Skipping([&] {
      node->EnsureVisible();
      node->Selected(true);
      tvReg_NodeClick(node);
    });
  }
}

void ctlRegistry::tvReg_DblClick() { RaiseDoubleClick(); }

}  // namespace qvr
