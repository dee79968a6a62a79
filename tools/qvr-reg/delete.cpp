// qvr-reg delete: deletes a key with everything below it, a value, or all
// values of a key.
#include <string>
#include <vector>

#include "console.h"
#include "options.h"
#include "session.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kUsage =
    "qvr-reg delete KeyName [/v ValueName | /ve | /va] [/f]\n"
    "\n"
    "  KeyName    [\\\\Machine\\]FullKey, as for query. A hive itself cannot be deleted.\n"
    "  /v         Deletes the value ValueName of the key.\n"
    "  /ve        Deletes the key's default (unnamed) value.\n"
    "  /va        Deletes every value of the key (its sub-keys stay).\n"
    "  /f         Deletes without asking.\n"
    "\n"
    "Without /v, /ve or /va the key is deleted with all its sub-keys and values.\n"
    "\n"
    "Examples:\n"
    "  qvr-reg delete HKCU\\Software\\Acme /v Count\n"
    "  qvr-reg delete HKCU\\Software\\Acme /f\n";

int DeleteAllValues(Invocation& call, RegistrySession& session, HKEY key) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    RegistryValue value;
    LONG rc = ValueAt(key, index, &value);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
    names.push_back(value.name);
  }
  for (const std::string& name : names) {
    LONG rc = session.Registry().DeleteValue(key, name);
    // A value deleted by somebody else meanwhile is gone all the same.
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return FailWithCode(call, rc);
  }
  return Succeed(call);
}

int Run(Invocation& call) {
  ParsedOptions options;
  std::string error;
  if (!ParseOptions(call.args, OptionRules{{"ve", "va", "f"}, {"v"}}, &options, &error)) {
    return SyntaxError(call, "delete", error);
  }
  if (options.Positional().size() != 1) return SyntaxError(call, "delete", "Give one key name.");
  if (options.Has("v") + options.Has("ve") + options.Has("va") > 1) {
    return SyntaxError(call, "delete", "/v, /ve and /va exclude each other.");
  }
  KeyPath path;
  if (!ParseKeyPath(options.Positional()[0], &path, &error)) return Fail(call, error);
  const bool ask = !options.Has("f");

  RegistrySession session(&call.err);
  HKEY key = 0;
  LONG rc = session.Open(path, false, &key);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, path.machine, rc);

  if (options.Has("va")) {
    if (ask && !Confirm(call, "Delete all values under the registry key " + path.Text())) {
      return Cancelled(call);
    }
    return DeleteAllValues(call, session, key);
  }
  if (options.Has("v") || options.Has("ve")) {
    const std::string name = options.Has("v") ? *options.Value("v") : "";
    RegistryValue value;
    rc = ReadValue(key, name, &value);
    if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
    if (ask && !Confirm(call, "Delete the registry value " + (name.empty() ? "(Default)" : name))) {
      return Cancelled(call);
    }
    rc = session.Registry().DeleteValue(key, name);
    return rc == ERROR_SUCCESS ? Succeed(call) : FailWrite(call, session, path, rc);
  }

  session.Close(key);
  if (path.sub_key.empty()) return Fail(call, "A whole hive cannot be deleted.");
  if (session.IsLoadedHive(path)) {
    return Fail(call, path.Text() + " is a loaded hive file: unload it with \"qvr-reg unload\".");
  }
  if (ask && !Confirm(call, "Permanently delete the registry key " + path.Text())) {
    return Cancelled(call);
  }
  rc = session.DeleteTree(path);
  return rc == ERROR_SUCCESS ? Succeed(call) : FailWrite(call, session, path, rc);
}

const bool kRegistered = RegisterVerb(
    {"delete", "Deletes a key with everything below it, a value, or all values.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
