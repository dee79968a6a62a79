#include "registry/environment.h"

#include <initializer_list>
#include <optional>
#include <utility>

#include "base/unicode.h"

namespace qvr {
namespace {

// A variable as a key keeps it.
struct Stored {
  std::string text;
  bool expand = false;  // REG_EXPAND_SZ
};
using StoredTable = std::map<std::string, Stored>;  // by folded name

// The key at `path` below `from`; 2 when a level is missing.
LONG FindPath(RegistryStore& store, KeyId from, std::initializer_list<std::string_view> path,
              KeyId* key) {
  for (std::string_view part : path) {
    LONG rc = store.FindChild(from, part, &from);
    if (rc != ERROR_SUCCESS) return rc;
  }
  *key = from;
  return ERROR_SUCCESS;
}

// A stored REG_SZ or REG_EXPAND_SZ (UTF-16LE) as UTF-8 text up to its first
// NUL; nothing for the other types.
std::optional<Stored> AsVariable(DWORD type, std::string_view stored) {
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::string text = Utf16ToUtf8(LeBytesToUtf16(stored));
  text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  return Stored{std::move(text), type == REG_EXPAND_SZ};
}

// The variables of the key at `path` below `from`, into `table`; none when
// the key is absent.
LONG ReadKey(RegistryStore& store, KeyId from, std::initializer_list<std::string_view> path,
             StoredTable* table) {
  KeyId key = 0;
  LONG rc = FindPath(store, from, path, &key);
  if (rc != ERROR_SUCCESS) return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
  EnumCursor cursor;
  for (int64_t index = 0;; ++index) {
    std::string name, stored;
    DWORD type = REG_NONE;
    rc = store.EnumValue(key, index, &cursor, &name, &type, &stored);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    if (name.empty()) continue;
    if (std::optional<Stored> variable = AsVariable(type, stored)) {
      (*table)[FoldCase(name)] = std::move(*variable);
    }
  }
}

// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\SystemRoot, when it is there.
LONG ReadSystemRoot(RegistryStore& store, KeyId local_machine, std::optional<Stored>* root) {
  KeyId key = 0;
  LONG rc = FindPath(store, local_machine, {"SOFTWARE", "Microsoft", "Windows NT", "CurrentVersion"},
                     &key);
  DWORD type = REG_NONE;
  std::string stored;
  if (rc == ERROR_SUCCESS) rc = store.GetValue(key, "SystemRoot", &type, &stored);
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc == ERROR_SUCCESS) *root = AsVariable(type, stored);
  return rc;
}

// `text` with each %NAME% found in `values` (by folded name) replaced.
std::string ExpandWith(std::string_view text, const std::map<std::string, std::string>& values) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find('%', at);
    const size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(at));
      break;
    }
    out.append(text.substr(at, open - at));
    auto found = close > open + 1 ? values.find(FoldCase(text.substr(open + 1, close - open - 1)))
                                  : values.end();
    // An unknown reference is text, closing % included: it opens nothing.
    out.append(found != values.end() ? std::string_view(found->second)
                                     : text.substr(open, close - open + 1));
    at = close + 1;
  }
  return out;
}

}  // namespace

LONG Environment::Read(RegistryStore& store, KeyId local_machine, KeyId user_hive,
                       Environment* environment) {
  StoredTable variables, user;
  std::optional<Stored> root;
  LONG rc = ReadKey(store, local_machine,
                    {"SYSTEM", "CurrentControlSet", "Control", "Session Manager", "Environment"},
                    &variables);
  if (rc == ERROR_SUCCESS && user_hive != 0) rc = ReadKey(store, user_hive, {"Environment"}, &user);
  if (rc == ERROR_SUCCESS) rc = ReadSystemRoot(store, local_machine, &root);
  if (rc != ERROR_SUCCESS) return rc;

  // The user's variables win, but a user's Path goes after the machine's.
  const std::string path = FoldCase("Path");
  std::optional<Stored> user_path;
  for (auto& [name, variable] : user) {
    auto machine_path = name == path ? variables.find(path) : variables.end();
    if (machine_path != variables.end() && !machine_path->second.text.empty()) {
      if (!variable.text.empty()) user_path = std::move(variable);
      continue;
    }
    variables[name] = std::move(variable);
  }
  if (root) {
    for (const char* name : {"SystemRoot", "windir"}) variables.emplace(FoldCase(name), *root);
  }

  // Each expandable variable is expanded once, against the texts as stored.
  std::map<std::string, std::string> stored;
  for (const auto& [name, variable] : variables) stored[name] = variable.text;
  if (user_path) stored[path] += ";" + user_path->text;
  auto once = [&](const Stored& variable) {
    return variable.expand ? ExpandWith(variable.text, stored) : variable.text;
  };
  Environment result;
  for (const auto& [name, variable] : variables) result.values_[name] = once(variable);
  if (user_path) result.values_[path] += ";" + once(*user_path);
  *environment = std::move(result);
  return ERROR_SUCCESS;
}

std::string Environment::Expand(std::string_view text) const { return ExpandWith(text, values_); }

}  // namespace qvr
