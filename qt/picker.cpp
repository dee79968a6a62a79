#include "qt/picker.h"

#include <vector>

#include "registry/hive_names.h"
#include "base/unicode.h"

namespace qvr::view {

std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

toolkit::NodePtr OpenPath(toolkit::TreeView& tree, const std::vector<std::string>& parts,
                          size_t* opened) {
  *opened = 0;
  toolkit::NodePtr node = tree.Nodes().TopLevelAt(0);
  if (!node) return nullptr;
  for (const std::string& part : parts) {
    if (!node->Expanded()) tree.UserExpand(node);
    toolkit::NodePtr child = node->Child();
    while (child && !EqualsNoCase(child->Text(), part)) child = child->Next();
    if (!child) break;
    node = child;
    ++*opened;
  }
  return node;
}

std::string Picker::HiveName(const std::string& name) {
  const qvr::HiveName* hive = FindHive(name);
  return hive ? hive->full : "";
}

toolkit::NodePtr Picker::OpenKey(const std::string& path, std::string* error) {
  toolkit::TreeView& tree = control_.tvReg();
  std::vector<std::string> parts = SplitKeyPath(path);
  if (parts.empty() || HiveName(parts[0]).empty()) {
    *error = "'" + path + "' does not start with a hive (HKLM, HKEY_LOCAL_MACHINE, ...)";
    return nullptr;
  }
  parts[0] = HiveName(parts[0]);
  size_t opened = 0;
  toolkit::NodePtr node = OpenPath(tree, parts, &opened);
  if (!node) {
    *error = "the tree is empty";
    return nullptr;
  }
  if (opened < parts.size()) {
    std::string shown;
    for (size_t i = 0; i <= opened; ++i) shown += (i ? "\\" : "") + parts[i];
    *error = "no key " + shown + " in the tree";
    return nullptr;
  }
  tree.UserClick(node);
  return node;
}

bool Picker::PickKey(const std::string& path, std::string* error) {
  toolkit::NodePtr node = OpenKey(path, error);
  if (!node) return false;
  if (Multiple()) {
    if (node->Checked()) return true;
    if (!control_.tvReg().UserCheck(node, true)) {
      *error = "the tree has no check boxes";
      return false;
    }
  }
  return true;
}

bool Picker::PickValue(const std::string& path, const std::string& value, std::string* error) {
  if (!OpenKey(path, error)) return false;
  const std::string shown = value.empty() ? "(default)" : value;
  toolkit::ListView& list = control_.lvValues();
  toolkit::ListItemPtr row;
  for (int32_t i = 1; i <= list.ListItems().Count() && !row; ++i) {
    toolkit::ListItemPtr item = list.ListItems().Item(i);
    if (EqualsNoCase(item->Text(), shown)) row = item;
  }
  if (!row) {
    *error = "no value " + shown + " under " + path;
    return false;
  }
  if (!Multiple()) return list.UserClickItem(row);
  if (row->Checked()) return true;
  if (!list.UserCheck(row, true)) {
    *error = "the list has no check boxes";
    return false;
  }
  return true;
}

}  // namespace qvr::view
