// qvr-reg load, unload, save and restore: hive files, as reg.exe's verbs of
// those names treat them.
#include <string>

#include "console.h"
#include "options.h"
#include "registry/registry_service.h"
#include "session.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kLoadUsage =
    "qvr-reg load KeyName FileName\n"
    "\n"
    "  KeyName    [\\\\Machine\\]HKLM\\Name or [\\\\Machine\\]HKU\\Name: a new key directly\n"
    "             below HKLM or HKU, where the hive shows.\n"
    "  FileName   A hive file: NTUSER.DAT, a Windows\\System32\\config file, a saved hive.\n"
    "\n"
    "The hive stays loaded, for every program using this registry, until unloaded.\n"
    "Reads and writes below KeyName go to the file; each write is saved to it at once.\n"
    "A hive that cannot be written, or whose header says it was not written whole\n"
    "(its .LOG1/.LOG2 files hold changes), is loaded read-only, with a warning.\n"
    "\n"
    "Example:\n"
    "  qvr-reg load HKU\\Alice /mnt/win/Users/Alice/NTUSER.DAT\n";

constexpr std::string_view kUnloadUsage =
    "qvr-reg unload KeyName\n"
    "\n"
    "  KeyName    [\\\\Machine\\]HKLM\\Name or [\\\\Machine\\]HKU\\Name, a loaded hive.\n"
    "\n"
    "The file stays as the last write left it. Refused while this process has a key\n"
    "of the hive open.\n";

constexpr std::string_view kSaveUsage =
    "qvr-reg save KeyName FileName [/y]\n"
    "\n"
    "  KeyName    [\\\\Machine\\]FullKey, as for query.\n"
    "  FileName   The hive file to write.\n"
    "  /y         Replaces an existing file without asking.\n"
    "\n"
    "Writes the key and everything below it as a hive file, which Windows and\n"
    "hive tools read. The file is written whole under a temporary name, then\n"
    "renamed over FileName.\n";

constexpr std::string_view kRestoreUsage =
    "qvr-reg restore KeyName FileName\n"
    "\n"
    "  KeyName    [\\\\Machine\\]FullKey, as for query; it must exist.\n"
    "  FileName   A hive file, such as one written by save.\n"
    "\n"
    "Replaces the values and sub-keys of KeyName by those of the hive, in one\n"
    "transaction: all of it or nothing.\n";

// The key name of load and unload, split into the machine's hive and the
// name below it.
bool MountName(Invocation& call, std::string_view verb, const std::string& text, KeyPath* hive,
               std::string* name) {
  std::string error;
  if (!ParseKeyPath(text, hive, &error)) {
    Fail(call, error);
    return false;
  }
  if ((hive->hive != HKEY_LOCAL_MACHINE && hive->hive != HKEY_USERS) || hive->sub_key.empty() ||
      hive->sub_key.find('\\') != std::string::npos) {
    SyntaxError(call, verb, "The key must be a new key directly below HKLM or HKU.");
    return false;
  }
  *name = hive->sub_key;
  hive->sub_key.clear();
  return true;
}

int FailWith(Invocation& call, const std::string& machine, const Status& status) {
  if (status.code() == ERROR_BAD_NETPATH) return FailOnMachine(call, machine, status.code());
  return Fail(call, status.message().empty() ? ResultText(status.code()) : status.message());
}

int Load(Invocation& call) {
  ParsedOptions options;
  std::string error, name;
  if (!ParseOptions(call.args, OptionRules{}, &options, &error)) return SyntaxError(call, "load", error);
  if (options.Positional().size() != 2) return SyntaxError(call, "load", "Give a key name and a file.");
  KeyPath hive;
  if (!MountName(call, "load", options.Positional()[0], &hive, &name)) return kExitFailure;
  RegistrySession session(&call.err);
  HKEY root = 0;
  LONG rc = session.Open(hive, false, &root);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, hive.machine, rc);
  std::string note;
  Status status = CurrentRegistryService()->LoadKey(root, name.c_str(),
                                                    options.Positional()[1].c_str(), &note);
  if (!status.ok()) return FailWith(call, hive.machine, status);
  if (!note.empty()) call.err << "WARNING: The hive is loaded read-only: " << note << ".\n";
  return Succeed(call);
}

int Unload(Invocation& call) {
  ParsedOptions options;
  std::string error, name;
  if (!ParseOptions(call.args, OptionRules{}, &options, &error)) return SyntaxError(call, "unload", error);
  if (options.Positional().size() != 1) return SyntaxError(call, "unload", "Give one key name.");
  KeyPath hive;
  if (!MountName(call, "unload", options.Positional()[0], &hive, &name)) return kExitFailure;
  RegistrySession session(&call.err);
  HKEY root = 0;
  LONG rc = session.Open(hive, false, &root);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, hive.machine, rc);
  Status status = CurrentRegistryService()->UnloadKey(root, name.c_str());
  return status.ok() ? Succeed(call) : FailWith(call, hive.machine, status);
}

int Save(Invocation& call) {
  ParsedOptions options;
  std::string error;
  if (!ParseOptions(call.args, OptionRules{{"y", "reg:32", "reg:64"}, {}}, &options, &error)) {
    return SyntaxError(call, "save", error);
  }
  if (options.Positional().size() != 2) return SyntaxError(call, "save", "Give a key name and a file.");
  KeyPath path;
  if (!ParseKeyPath(options.Positional()[0], &path, &error)) return Fail(call, error);
  const std::string& file = options.Positional()[1];
  RegistrySession session(&call.err);
  HKEY key = 0;
  LONG rc = session.Open(path, false, &key);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, path.machine, rc);
  auto service = CurrentRegistryService();
  Status status = service->SaveKey(key, file.c_str(), options.Has("y"));
  if (status.code() == ERROR_ALREADY_EXISTS) {
    if (!Confirm(call, "File " + file + " already exists. Overwrite")) return Cancelled(call);
    status = service->SaveKey(key, file.c_str(), true);
  }
  return status.ok() ? Succeed(call) : FailWith(call, path.machine, status);
}

int Restore(Invocation& call) {
  ParsedOptions options;
  std::string error;
  if (!ParseOptions(call.args, OptionRules{}, &options, &error)) return SyntaxError(call, "restore", error);
  if (options.Positional().size() != 2) {
    return SyntaxError(call, "restore", "Give a key name and a file.");
  }
  KeyPath path;
  if (!ParseKeyPath(options.Positional()[0], &path, &error)) return Fail(call, error);
  RegistrySession session(&call.err);
  HKEY key = 0;
  LONG rc = session.Open(path, false, &key);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, path.machine, rc);
  Status status = CurrentRegistryService()->RestoreKey(key, options.Positional()[1].c_str());
  return status.ok() ? Succeed(call) : FailWith(call, path.machine, status);
}

const bool kLoad = RegisterVerb({"load", "Loads a hive file as a key below HKLM or HKU.", kLoadUsage, Load});
const bool kUnload = RegisterVerb({"unload", "Unloads a loaded hive.", kUnloadUsage, Unload});
const bool kSave = RegisterVerb({"save", "Saves a key and everything below it as a hive file.", kSaveUsage, Save});
const bool kRestore =
    RegisterVerb({"restore", "Replaces a key's contents by a hive file's.", kRestoreUsage, Restore});

}  // namespace
}  // namespace qvr::reg_tool
