// qvr-reg copy: copies the values of a key, or a whole tree, into another
// key, on this machine or between machines.
#include <string>
#include <vector>

#include "base/unicode.h"
#include "console.h"
#include "options.h"
#include "registry/registry_service.h"
#include "session.h"
#include "stored_tree.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kUsage =
    "qvr-reg copy KeyName1 KeyName2 [/s] [/f]\n"
    "\n"
    "  KeyName1   [\\\\Machine\\]FullKey: the key to copy from.\n"
    "  KeyName2   [\\\\Machine\\]FullKey: the key to copy into; created when missing.\n"
    "  /s         Copies every sub-key below KeyName1 with its values, too.\n"
    "  /f         Overwrites existing values without asking.\n"
    "\n"
    "Values are copied exactly as stored, of any type. The copy is one transaction\n"
    "on the target: when any part of it cannot be written, nothing is. A value\n"
    "that exists in the target is overwritten after a \"yes\"; after a \"no\" it is\n"
    "kept and the rest is copied.\n"
    "\n"
    "Examples:\n"
    "  qvr-reg copy HKCU\\Software\\Acme HKCU\\Software\\AcmeBackup /s /f\n"
    "  qvr-reg copy \\\\buildhost\\HKLM\\SOFTWARE\\Acme HKLM\\SOFTWARE\\Acme /s\n";

// A key is copied into itself when the target is the source or lies below
// it: refused, as the copy would feed on its own output.
bool IntoItself(const KeyPath& from, const KeyPath& to, bool recursive) {
  if (!EqualsNoCase(from.machine, to.machine) || from.hive != to.hive) return false;
  if (EqualsNoCase(from.sub_key, to.sub_key)) return true;
  if (!recursive) return false;
  if (from.sub_key.empty()) return true;
  return to.sub_key.size() > from.sub_key.size() && to.sub_key[from.sub_key.size()] == '\\' &&
         EqualsNoCase(std::string_view(to.sub_key).substr(0, from.sub_key.size()), from.sub_key);
}

std::string Below(const KeyPath& top, const std::string& path) {
  if (path.empty()) return top.sub_key;
  return top.sub_key.empty() ? path : top.sub_key + "\\" + path;
}

// Asks, for each value the target holds already, whether to overwrite it;
// the values answered "no" are dropped from `tree`.
void AskBeforeOverwriting(Invocation& call, RegistryService& service, HKEY root, const KeyPath& to,
                          std::vector<StoredKey>* tree) {
  for (StoredKey& key : *tree) {
    HKEY target = 0;
    if (service.OpenKey(root, Below(to, key.path).c_str(), &target) != ERROR_SUCCESS) continue;
    std::vector<StoredValue> kept;
    for (StoredValue& value : key.values) {
      DWORD size = 0;
      bool exists =
          service.QueryValue(target, value.name.c_str(), nullptr, nullptr, &size) == ERROR_SUCCESS;
      const std::string shown = value.name.empty() ? "(Default)" : value.name;
      if (exists && !Confirm(call, "Value " + shown + " of " + to.Child(key.path).Text() +
                                       " exists, overwrite")) {
        continue;
      }
      kept.push_back(std::move(value));
    }
    key.values = std::move(kept);
    service.CloseKey(target);
  }
}

// Writes `tree` below `to` through `root`, the handle of its hive; within
// the caller's transaction.
LONG WriteTree(RegistryService& service, HKEY root, const KeyPath& to,
               const std::vector<StoredKey>& tree) {
  for (const StoredKey& key : tree) {
    HKEY target = 0;
    LONG rc =
        service.CreateKey(root, Below(to, key.path).c_str(), KEY_ALL_ACCESS, &target, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    for (const StoredValue& value : key.values) {
      rc = service.SetValueBytes(target, value.name.c_str(), value.type, value.stored);
      if (rc != ERROR_SUCCESS) break;
    }
    service.CloseKey(target);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

// The deepest key of `to` that exists already (its hive's root `root` at
// worst), through a new handle: the transaction runs on the store holding
// it, which is where the copy's first writes go (a loaded hive, maybe).
HKEY DeepestExisting(RegistryService& service, HKEY root, std::string path) {
  while (!path.empty()) {
    HKEY key = 0;
    if (service.OpenKey(root, path.c_str(), &key) == ERROR_SUCCESS) return key;
    const size_t slash = path.rfind('\\');
    path.resize(slash == std::string::npos ? 0 : slash);
  }
  HKEY key = 0;
  return service.OpenKey(root, "", &key) == ERROR_SUCCESS ? key : root;
}

int Run(Invocation& call) {
  ParsedOptions options;
  std::string error;
  if (!ParseOptions(call.args, OptionRules{{"s", "f"}, {}}, &options, &error)) {
    return SyntaxError(call, "copy", error);
  }
  if (options.Positional().size() != 2) return SyntaxError(call, "copy", "Give two key names.");
  KeyPath from, to;
  if (!ParseKeyPath(options.Positional()[0], &from, &error)) return Fail(call, error);
  if (!ParseKeyPath(options.Positional()[1], &to, &error)) return Fail(call, error);
  const bool recursive = options.Has("s");
  if (IntoItself(from, to, recursive)) {
    return Fail(call, to.Text() + " is " + from.Text() +
                          (EqualsNoCase(from.sub_key, to.sub_key) ? "" : " or lies below it") +
                          ": a key cannot be copied into itself.");
  }
  auto service = CurrentRegistryService();
  if (!service) return FailWithCode(call, ERROR_INVALID_HANDLE);

  // The whole source first: then the target's machine alone is in use.
  RegistrySession session(&call.err);
  HKEY source = 0;
  LONG rc = session.Open(from, false, &source);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, from.machine, rc);
  std::vector<StoredKey> tree;
  rc = ReadStoredTree(source, recursive, &tree);
  session.Close(source);
  if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);

  KeyPath hive = to;
  hive.sub_key.clear();
  HKEY root = 0;
  rc = session.Open(hive, false, &root);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, to.machine, rc);
  if (!options.Has("f")) AskBeforeOverwriting(call, *service, root, to, &tree);
  bool ran = false;
  auto writes = [&] {
    ran = true;
    return WriteTree(*service, root, to, tree);
  };
  HKEY anchor = DeepestExisting(*service, root, to.sub_key);
  rc = service->Transact(anchor, writes);
  if (anchor != root) service->CloseKey(anchor);
  // A store without transactions is written key by key.
  if (!ran && rc == ERROR_INVALID_FUNCTION) rc = writes();
  session.Close(root);
  if (rc == ERROR_NOT_SAME_DEVICE) {
    return Fail(call, "The copy into " + to.Text() +
                          " would write both the registry store and a loaded hive (or two hives), "
                          "and one copy writes one store; nothing was written. Copy the part "
                          "inside the hive and the part outside it separately.");
  }
  if (rc != ERROR_SUCCESS) return FailWrite(call, session, to, rc);
  return Succeed(call);
}

const bool kRegistered = RegisterVerb(
    {"copy", "Copies a key's values, or a whole tree, into another key.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
