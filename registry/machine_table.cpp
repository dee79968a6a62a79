#include "registry/machine_table.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

#include "base/unicode.h"
#include "registry/sqlite_store.h"
#include "registry/windows_store.h"

namespace qvr {
namespace {

std::mutex g_openers_mu;
std::map<std::string, StoreOpener>& Openers() {
  static std::map<std::string, StoreOpener> openers;
  return openers;
}

StoreOpener FindOpener(const std::string& scheme) {
  std::lock_guard<std::mutex> lock(g_openers_mu);
  auto it = Openers().find(scheme);
  return it == Openers().end() ? StoreOpener() : it->second;
}

std::string_view Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// "wine" of "wine:~/.wine": two or more lower-case letters before the colon,
// so that neither a path nor a drive letter reads as a scheme.
std::string SchemeOf(std::string_view location) {
  size_t colon = location.find(':');
  if (colon == std::string_view::npos || colon < 2) return "";
  for (char c : location.substr(0, colon)) {
    if (c < 'a' || c > 'z') return "";
  }
  return std::string(location.substr(0, colon));
}

std::string FullPath(std::string_view path, const std::string& table_path) {
  const char* home = std::getenv("HOME");
  if (path.substr(0, 2) == "~/" && home != nullptr) {
    return std::string(home) + std::string(path.substr(1));
  }
  if (!path.empty() && path[0] == '/') return std::string(path);
  return table_path.substr(0, table_path.rfind('/') + 1) + std::string(path);
}

Status Unreachable(std::string message) {
  return Status::Registry(ERROR_BAD_NETPATH, std::move(message));
}

// A Windows installation's hives as one machine; what was left out becomes
// the note.
Status OpenWindows(const std::string& dir, const std::string& who,
                   std::unique_ptr<RegistryStore>* store, std::string* note) {
  std::unique_ptr<WindowsStore> windows;
  Status status = WindowsStore::Open(dir, &windows);
  if (!status.ok()) return Unreachable(who + status.message());
  if (note != nullptr && !windows->LeftOut().empty()) {
    *note = who + "left out of its registry: ";
    for (size_t i = 0; i < windows->LeftOut().size(); ++i) {
      *note += (i == 0 ? "" : "; ") + windows->LeftOut()[i];
    }
  }
  *store = std::move(windows);
  return status;
}

}  // namespace

void RegisterStoreOpener(const std::string& scheme, StoreOpener opener) {
  std::lock_guard<std::mutex> lock(g_openers_mu);
  Openers()[scheme] = std::move(opener);
}

std::vector<std::string> MachineTable::Names() const {
  std::vector<std::string> names;
  std::ifstream in(path_);
  std::string line;
  while (std::getline(in, line)) {
    std::string_view text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    size_t eq = text.find('=');
    if (eq == std::string_view::npos || Trim(text.substr(eq + 1)).empty()) continue;
    std::string_view name = Trim(text.substr(0, eq));
    while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
    if (!name.empty()) names.emplace_back(name);
  }
  return names;
}

Status MachineTable::Find(std::string_view name, Entry* entry) const {
  std::ifstream in(path_);
  if (!in && errno != ENOENT) {
    return Unreachable("cannot read the machine table " + path_ + ": " + std::strerror(errno));
  }
  Status unreadable;  // the first line that could have named `name`
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::string_view text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    size_t eq = text.find('=');
    std::string_view entry_name = eq == std::string_view::npos ? text : Trim(text.substr(0, eq));
    while (!entry_name.empty() && entry_name.front() == '\\') entry_name.remove_prefix(1);
    std::string_view location = eq == std::string_view::npos ? "" : Trim(text.substr(eq + 1));
    if (entry_name.empty() || location.empty()) {
      if (unreadable.ok()) {
        unreadable = Unreachable("expected NAME = LOCATION").AtLine(number).InFile(path_);
      }
      continue;
    }
    if (!EqualsNoCase(entry_name, name)) continue;
    entry->name = std::string(entry_name);
    entry->scheme = SchemeOf(location);
    if (!entry->scheme.empty()) location.remove_prefix(entry->scheme.size() + 1);
    entry->location = FullPath(Trim(location), path_);
    entry->line = number;
    return Status::OK();
  }
  if (!unreadable.ok()) return unreadable;
  return Unreachable("The network path was not found.");
}

Status MachineTable::Open(const Entry& entry, std::unique_ptr<RegistryStore>* store,
                          std::string* note) {
  const std::string who = "\\\\" + entry.name + ": ";
  if (note != nullptr) note->clear();
  if (entry.scheme == "windows") return OpenWindows(entry.location, who, store, note);
  if (!entry.scheme.empty()) {
    StoreOpener opener = FindOpener(entry.scheme);
    if (!opener) {
      return Unreachable(who + "this program cannot open stores of the kind \"" + entry.scheme +
                         ":\"");
    }
    Status status = opener(entry.location, store);
    return status.ok() ? status : Unreachable(who + status.ToString());
  }
  struct stat st;
  if (stat(entry.location.c_str(), &st) != 0 && errno == ENOENT) {
    return Unreachable(who + "the registry store " + entry.location + " does not exist");
  }
  // A remote machine's store must exist; nothing is created for a name.
  std::unique_ptr<SqliteStore> sqlite;
  Status status = SqliteStore::Open(entry.location, false, &sqlite);
  if (status.ok()) {
    *store = std::move(sqlite);
    return status;
  }
  if (status.message().rfind("not a registry store", 0) == 0) {
    return Unreachable(who + entry.location + " is " + status.message());
  }
  return Unreachable(who + "cannot open the registry store " + entry.location + ": " +
                     status.message());
}

}  // namespace qvr
