// qvr-reg query: lists a key's values and sub-keys, or one value, or a whole
// tree.
#include <ostream>
#include <string>
#include <vector>

#include "console.h"
#include "options.h"
#include "session.h"
#include "value_text.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kUsage =
    "qvr-reg query KeyName [/v ValueName | /ve] [/s]\n"
    "\n"
    "  KeyName    [\\\\Machine\\]FullKey\n"
    "             Machine    a machine of the machine table (it offers HKLM and HKU only)\n"
    "             FullKey    ROOTKEY[\\SubKey]\n"
    "             ROOTKEY    HKLM | HKCU | HKCR | HKU | HKCC, or the long names\n"
    "                        (HKEY_LOCAL_MACHINE, ...)\n"
    "  /v         Shows the value ValueName of the key.\n"
    "  /ve        Shows the key's default (unnamed) value.\n"
    "  /s         Shows every sub-key and value below the key; with /v or /ve,\n"
    "             searches the whole tree for that value.\n"
    "\n"
    "Each key is shown by its full name, each value on a line of its own:\n"
    "four spaces, the name, four spaces, the type, four spaces, the data.\n"
    "\n"
    "Examples:\n"
    "  qvr-reg query \"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\" /v ProductName\n"
    "  qvr-reg query HKCU\\Environment /s\n";

void PrintValue(Invocation& call, const RegistryValue& value) {
  call.out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
           << TypeName(value.type) << "    " << DataText(value.type, value.data) << "\n";
}

LONG Values(HKEY key, std::vector<RegistryValue>* values) {
  for (DWORD index = 0;; ++index) {
    RegistryValue value;
    LONG rc = ValueAt(key, index, &value);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    values->push_back(std::move(value));
  }
}

LONG SubKeys(HKEY key, std::vector<std::string>* names) {
  for (DWORD index = 0;; ++index) {
    std::string name;
    LONG rc = SubKeyAt(key, index, &name);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    names->push_back(std::move(name));
  }
}

// The key's values, then a blank line and the full names of its sub-keys.
int QueryKey(Invocation& call, HKEY key, const KeyPath& path) {
  std::vector<RegistryValue> values;
  std::vector<std::string> sub_keys;
  LONG rc = Values(key, &values);
  if (rc == ERROR_SUCCESS) rc = SubKeys(key, &sub_keys);
  if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
  call.out << "\n";
  if (!values.empty() || sub_keys.empty()) call.out << path.Text() << "\n";
  for (const RegistryValue& value : values) PrintValue(call, value);
  if (!values.empty()) call.out << "\n";
  for (const std::string& name : sub_keys) call.out << path.Child(name).Text() << "\n";
  return kExitSuccess;
}

// Calls `visit(key, name)` for every key of the tree below `key` (whose full
// name is `name`), in order, depth first, with the key open; stops at the
// first code other than 0 from it or from a listing. The walk keeps its place
// on the heap, not the machine stack, and opens each key from its parent, so
// its cost grows with the size of the tree, whatever its depth.
template <class Visit>
LONG WalkTree(RegistrySession& session, HKEY key, std::string name, Visit visit) {
  struct Level {
    HKEY key;
    size_t parent_length;  // where the parent's name ends in `name`
    std::vector<std::string> sub_keys;
    size_t next = 0;
  };
  std::vector<Level> stack;
  auto enter = [&](HKEY k, size_t parent_length) {
    stack.push_back(Level{k, parent_length, {}});
    LONG rc = SubKeys(k, &stack.back().sub_keys);
    return rc == ERROR_SUCCESS ? visit(k, name) : rc;
  };
  LONG rc = enter(key, name.size());
  while (rc == ERROR_SUCCESS && !stack.empty()) {
    Level& top = stack.back();
    if (top.next == top.sub_keys.size()) {
      name.resize(top.parent_length);
      if (stack.size() > 1) session.Close(top.key);  // the caller's key stays open
      stack.pop_back();
      continue;
    }
    std::string sub_key = std::move(top.sub_keys[top.next++]);
    HKEY child = session.Registry().OpenKey(top.key, sub_key, true);
    // A sub-key deleted since it was listed is passed over.
    if (child == -1) continue;
    size_t parent_length = name.size();
    name += '\\';
    name += sub_key;
    rc = enter(child, parent_length);
  }
  for (size_t i = 1; i < stack.size(); ++i) session.Close(stack[i].key);
  return rc;
}

// Every key of the tree in order, each with its values and a blank line.
LONG QueryTree(Invocation& call, RegistrySession& session, HKEY key, const KeyPath& path) {
  return WalkTree(session, key, path.Text(), [&](HKEY k, const std::string& name) {
    std::vector<RegistryValue> values;
    LONG rc = Values(k, &values);
    if (rc != ERROR_SUCCESS) return rc;
    call.out << name << "\n";
    for (const RegistryValue& value : values) PrintValue(call, value);
    call.out << "\n";
    return ERROR_SUCCESS;
  });
}

// Every key of the tree that holds the value `value_name`, with that value.
LONG SearchTree(Invocation& call, RegistrySession& session, HKEY key, const KeyPath& path,
                const std::string& value_name, int* matches) {
  return WalkTree(session, key, path.Text(), [&](HKEY k, const std::string& name) {
    RegistryValue value;
    if (FindValue(k, value_name, &value) == ERROR_SUCCESS) {
      call.out << name << "\n";
      PrintValue(call, value);
      call.out << "\n";
      ++*matches;
    }
    return ERROR_SUCCESS;
  });
}

int Run(Invocation& call) {
  ParsedOptions options;
  std::string error;
  if (!ParseOptions(call.args, OptionRules{{"ve", "s"}, {"v"}}, &options, &error)) {
    return SyntaxError(call, "query", error);
  }
  if (options.Positional().size() != 1) return SyntaxError(call, "query", "Give one key name.");
  if (options.Has("v") && options.Has("ve")) {
    return SyntaxError(call, "query", "/v and /ve exclude each other.");
  }
  KeyPath path;
  if (!ParseKeyPath(options.Positional()[0], &path, &error)) return Fail(call, error);
  RegistrySession session;
  HKEY key = 0;
  LONG rc = session.Open(path, false, &key);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, path.machine, rc);

  const bool one_value = options.Has("v") || options.Has("ve");
  const std::string name = options.Has("v") ? *options.Value("v") : "";
  if (options.Has("s")) {
    call.out << "\n";
    if (!one_value) {
      rc = QueryTree(call, session, key, path);
      return rc == ERROR_SUCCESS ? kExitSuccess : FailWithCode(call, rc);
    }
    int matches = 0;
    rc = SearchTree(call, session, key, path, name, &matches);
    if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
    call.out << "End of search: " << matches << " match(es) found.\n";
    return matches > 0 ? kExitSuccess : kExitFailure;
  }
  if (!one_value) return QueryKey(call, key, path);

  RegistryValue value;
  rc = FindValue(key, name, &value);
  if (rc == ERROR_FILE_NOT_FOUND && options.Has("ve")) {
    call.out << "\n" << path.Text() << "\n    (Default)    REG_SZ    (value not set)\n\n";
    return kExitSuccess;
  }
  if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
  call.out << "\n" << path.Text() << "\n";
  PrintValue(call, value);
  call.out << "\n";
  return kExitSuccess;
}

const bool kRegistered =
    RegisterVerb({"query", "Shows keys and values, one value, or a whole tree.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
