#include "console.h"

#include <istream>
#include <ostream>

#include "base/unicode.h"
#include "registry/machine_table.h"
#include "registry/registry_service.h"
#include "session.h"

#include <sys/stat.h>
#include <unistd.h>

namespace qvr::reg_tool {

std::string ResultText(LONG code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED:
      return "Access is denied.";
    case ERROR_INVALID_HANDLE:
      return "The handle is invalid.";
    case ERROR_BAD_NETPATH:
      return "The network path was not found.";
    case ERROR_INVALID_PARAMETER:
      return "The parameter is incorrect.";
    case ERROR_MORE_DATA:
      return "More data is available.";
    case ERROR_DISK_FULL:
      return "There is not enough space on the disk.";
    case ERROR_BUSY:
      return "Another program is writing to the registry and did not finish in time; try again "
             "when it has.";
    case ERROR_BADDB:
      return "The configuration registry database is corrupt.";
    case ERROR_NOT_SAME_DEVICE:
      return "One transaction cannot write both the registry store and a loaded hive, or two "
             "hives; nothing was written. Do each part by itself.";
    case ERROR_NOT_SUPPORTED:
      return "The request is not supported.";
    case ERROR_ALREADY_EXISTS:
      return "Cannot create a file when that file already exists.";
    case ERROR_REGISTRY_CORRUPT:
      return "The structure of one of the files containing registry data is corrupt.";
    case ERROR_NOT_REGISTRY_FILE:
      return "The system has attempted to load or restore a file into the registry, but the "
             "specified file is not in a registry file format.";
    case ERROR_NO_SYSTEM_RESOURCES:
      return "The hive cannot hold this: it is past the limits of the hive library (see the "
             "README).";
    case ERROR_KEY_DELETED:
      return "Illegal operation attempted on a registry key that has been marked for deletion.";
    default:
      return "The registry call failed with code " + std::to_string(code) + ".";
  }
}

int Fail(Invocation& call, std::string_view text) {
  call.err << "ERROR: " << text << "\n";
  return kExitFailure;
}

int FailWithCode(Invocation& call, LONG code) { return Fail(call, ResultText(code)); }

int FailOnMachine(Invocation& call, const std::string& machine, LONG code) {
  auto service = CurrentRegistryService();
  if (code != ERROR_BAD_NETPATH || machine.empty() || !service) return FailWithCode(call, code);
  HKEY hive = 0;
  Status why = service->ConnectMachine(machine.c_str(), HKEY_LOCAL_MACHINE, &hive);
  if (why.ok()) {
    service->CloseKey(hive);
    return FailWithCode(call, code);
  }
  return Fail(call, why.ToString());
}

namespace {

// Why the store file `path` opens read-only, as SqliteStore decides it; ""
// when it may be written.
std::string StoreFileReason(const std::string& path) {
  struct stat st {};
  if (access(path.c_str(), W_OK) != 0) return "this process may not write " + path;
  if (stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0) {
    return path + " has no write permission bit";
  }
  for (const char* side : {"-wal", "-shm"}) {
    const std::string file = path + side;
    if (access(file.c_str(), F_OK) == 0 && access(file.c_str(), W_OK) != 0) {
      return "this process may not write " + file;
    }
  }
  return "";
}

}  // namespace

std::string ReadOnlyReason(RegistrySession& session, const KeyPath& path) {
  if (!path.machine.empty()) {
    MachineTable::Entry entry;
    MachineTable table(MachineTablePath(LocalStorePath()));
    if (!table.Find(path.machine, &entry).ok()) return "";
    const std::string machine = "\\\\" + path.machine;
    if (entry.scheme == "wine") {
      return machine + " is the Wine prefix " + entry.location +
             ", which qvr-reg only reads (import it here with \"qvr-reg import --wine\")";
    }
    if (entry.scheme == "windows") {
      return machine + " is the Windows installation " + entry.location +
             ", shown read-only so that nothing on its drive changes";
    }
    if (!entry.scheme.empty()) return machine + " is a " + entry.scheme + ": store, only read";
    std::string why = StoreFileReason(entry.location);
    return why.empty() ? "" : "the registry store of " + machine + " is read-only: " + why;
  }
  // A hive loaded below HKLM or HKU holds everything below its key.
  if (path.hive == HKEY_LOCAL_MACHINE || path.hive == HKEY_USERS) {
    KeyPath top = path;
    top.sub_key = path.sub_key.substr(0, path.sub_key.find('\\'));
    if (!top.sub_key.empty() && session.IsLoadedHive(top)) {
      return top.Text() +
             " is a hive file loaded read-only (\"qvr-reg load\" said why when it loaded it)";
    }
  }
  std::string why = StoreFileReason(LocalStorePath());
  return why.empty() ? "" : "the registry store is read-only: " + why;
}

int FailWrite(Invocation& call, RegistrySession& session, const KeyPath& path, LONG code) {
  if (code == ERROR_ACCESS_DENIED) {
    std::string why = ReadOnlyReason(session, path);
    if (!why.empty()) return Fail(call, "Access is denied: " + why + ".");
  }
  return FailOnMachine(call, path.machine, code);
}

void WarnOfMachine(std::ostream& err, const std::string& machine) {
  auto service = CurrentRegistryService();
  std::string note = service && !machine.empty() ? service->TakeMachineNote(machine.c_str()) : "";
  if (!note.empty()) err << "WARNING: " << note << "\n";
}

int SyntaxError(Invocation& call, std::string_view verb, std::string_view reason) {
  call.err << "ERROR: Invalid syntax.";
  if (!reason.empty()) call.err << " " << reason;
  call.err << "\nType \"qvr-reg " << verb << " /?\" for usage.\n";
  return kExitFailure;
}

int Succeed(Invocation& call) {
  call.out << "The operation completed successfully.\n";
  return kExitSuccess;
}

bool Confirm(Invocation& call, std::string_view question) {
  std::string answer;
  while (true) {
    call.out << question << " (Yes/No)? " << std::flush;
    if (!std::getline(call.in, answer)) {
      call.out << "\n";
      return false;
    }
    if (EqualsNoCase(answer, "y") || EqualsNoCase(answer, "yes")) return true;
    if (EqualsNoCase(answer, "n") || EqualsNoCase(answer, "no")) return false;
  }
}

int Cancelled(Invocation& call) {
  call.err << "The operation was canceled by the user.\n";
  return kExitFailure;
}

}  // namespace qvr::reg_tool
