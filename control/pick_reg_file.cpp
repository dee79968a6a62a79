#include "control/pick_reg_file.h"

#include <algorithm>
#include <map>
#include <vector>

#include "base/unicode.h"
#include "control/export_text.h"
#include "regfile/atomic_file.h"
#include "registry/registry_service.h"
#include "xml/dom_document.h"

namespace qvr {
namespace {

// The hives in the order the tree lists them.
constexpr const char* kTreeOrder[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                      "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

// A key of the pick: its hive, the path below it, and what of it is picked.
struct PickedKey {
  std::string hive;
  std::vector<std::string> names;   // of the keys from the hive down; empty for the hive
  std::vector<std::string> values;  // the picked values' names, as the document shows them
  bool key_picked = false;

  std::string Path() const {
    std::string path = hive;
    for (const std::string& name : names) path += "\\" + name;
    return path;
  }
};

size_t HiveRank(const std::string& hive) {
  for (size_t i = 0; i < std::size(kTreeOrder); ++i) {
    if (EqualsNoCase(hive, kTreeOrder[i])) return i;
  }
  return std::size(kTreeOrder);
}

// Tree order: hive first, then name by name; a parent before its children.
bool InTreeOrder(const PickedKey& a, const PickedKey& b) {
  if (HiveRank(a.hive) != HiveRank(b.hive)) return HiveRank(a.hive) < HiveRank(b.hive);
  for (size_t i = 0; i < a.names.size() && i < b.names.size(); ++i) {
    if (int c = CompareNoCase(a.names[i], b.names[i]); c != 0) return c < 0;
  }
  return a.names.size() < b.names.size();
}

std::vector<std::string> SplitKey(const std::string& key) {
  std::vector<std::string> names;
  for (size_t start = 0; start < key.size();) {
    size_t end = std::min(key.find('\\', start), key.size());
    names.push_back(key.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

// Every Registry element below `element`, in document order, into `picks`
// (merged by key path, without regard to case).
void CollectPicks(const DOMElement& element, std::map<std::string, PickedKey>* picks) {
  for (const DOMElement& child : element.childElements()) {
    if (child.tagName() != "Registry") {
      CollectPicks(child, picks);
      continue;
    }
    for (const DOMElement& q : child.childElements()) {
      if (q.tagName() != "Properties") continue;
      const std::string hive = q.getAttribute("hive");
      std::string key = q.getAttribute("key");
      if (EqualsNoCase(key, hive)) key.clear();  // a hive names itself as its key
      const std::string name = q.getAttribute("name");
      PickedKey entry{hive, SplitKey(key), {}, false};
      PickedKey& picked = picks->try_emplace(FoldCase(entry.Path()), entry).first->second;
      // The document gives the key's default value an empty name and
      // default="1"; an empty name otherwise is the key itself.
      if (!name.empty() || q.getAttribute("default") == "1") {
        picked.values.push_back(name);
      } else {
        picked.key_picked = true;
      }
    }
  }
}

bool IsPicked(const PickedKey& key, const std::string& stored_name) {
  const std::string shown = export_text::PrintableText(stored_name);
  return std::any_of(key.values.begin(), key.values.end(),
                     [&](const std::string& name) { return EqualsNoCase(name, shown); });
}

// Writes one key's section with its picked values, read as stored.
Status WriteKey(ctlRegistry& control, RegistryService& service, const PickedKey& key,
                RegFileWriter& writer) {
  const HKEY hive = control.ShownHive(key.hive);
  std::string below;
  for (const std::string& name : key.names) below += (below.empty() ? "" : "\\") + name;
  HKEY handle = 0;
  LONG rc = hive == 0 ? ERROR_FILE_NOT_FOUND : service.OpenKey(hive, below.c_str(), &handle);
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "cannot read the key " + key.Path());
  if (!writer.Key(key.Path())) {
    service.CloseKey(handle);
    return Status::Registry(ERROR_INVALID_PARAMETER,
                            "a .reg file cannot name the key " + key.Path());
  }
  size_t written = 0;
  std::string name, stored;
  DWORD type = 0;
  for (DWORD index = 0; rc == ERROR_SUCCESS; ++index) {
    rc = service.EnumValueBytes(handle, index, &name, &type, &stored);
    if (rc == ERROR_SUCCESS && IsPicked(key, name)) {
      writer.Value(name, type, stored);
      ++written;
    }
  }
  service.CloseKey(handle);
  if (rc != ERROR_NO_MORE_ITEMS)
    return Status::Registry(rc, "cannot read the values of " + key.Path());
  // A picked value counted once, however often the document names it.
  std::vector<std::string> distinct;
  for (const std::string& v : key.values) {
    if (std::none_of(distinct.begin(), distinct.end(),
                     [&](const std::string& d) { return EqualsNoCase(d, v); })) {
      distinct.push_back(v);
    }
  }
  if (written < distinct.size()) {
    return Status::Registry(ERROR_FILE_NOT_FOUND,
                            "a value picked in " + key.Path() + " is gone from the registry");
  }
  return Status::OK();
}

}  // namespace

Status WritePickRegFile(ctlRegistry& control, RegFileWriter& writer) {
  DOMDocument doc;
  doc.loadXML("<RegistryPick/>");
  control.GetSelectedDOM(&doc);
  return WritePickRegFile(control, doc, writer);
}

Status WritePickRegFile(ctlRegistry& control, DOMDocument& pick, RegFileWriter& writer) {
  auto service = CurrentRegistryService();
  if (!service) return Status::Registry(ERROR_INVALID_HANDLE, "no registry service");
  std::map<std::string, PickedKey> picks;
  CollectPicks(pick.documentElement(), &picks);
  std::vector<PickedKey> keys;
  for (auto& [folded, key] : picks) keys.push_back(std::move(key));
  std::sort(keys.begin(), keys.end(), InTreeOrder);
  for (const PickedKey& key : keys) {
    Status status = WriteKey(control, *service, key, writer);
    if (!status.ok()) return status;
  }
  writer.Finish();
  return Status::OK();
}

Status SavePickRegFile(ctlRegistry& control, const std::string& path,
                       RegFileWriter::Dialect dialect) {
  RegFileWriter writer(dialect);
  Status status = WritePickRegFile(control, writer);
  if (!status.ok()) return status;
  std::string bytes;
  writer.TakeOutput(&bytes);
  return AtomicFile::Write(path, bytes);
}

}  // namespace qvr
