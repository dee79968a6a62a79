#include "regfile/wine_prefix.h"

#include <sys/stat.h>
#include <unistd.h>

#include "registry/machine_table.h"
#include "registry/registry_service.h"
#include "regfile/reg_byte_input.h"
#include "regfile/reg_text_source.h"
#include "regfile/wine_reg_parser.h"
#include "registry/sqlite_store.h"

namespace qvr {
namespace {

// Puts the hive path of one file in front of every key the file names.
class PrefixedSink : public RegSink {
 public:
  PrefixedSink(RegSink& inner, std::string prefix) : inner_(inner), prefix_(std::move(prefix)) {}
  RegStatus OpenKey(std::string_view path) override {
    path_ = prefix_;
    path_ += '\\';
    path_ += path;
    return inner_.OpenKey(path_);
  }
  RegStatus DeleteKey(std::string_view path) override {
    return RegStatus::Syntax(0, "a Wine registry file does not delete keys");
  }
  RegStatus SetValue(std::string_view name, DWORD type, std::string_view stored) override {
    return inner_.SetValue(name, type, stored);
  }
  RegStatus DeleteValue(std::string_view name) override {
    return RegStatus::Syntax(0, "a Wine registry file does not delete values");
  }

 private:
  RegSink& inner_;
  std::string prefix_;
  std::string path_;
};

// Writes straight into a store, below its hive roots.
class StoreSink : public RegSink {
 public:
  explicit StoreSink(RegistryStore& store) : store_(store) {}
  RegStatus OpenKey(std::string_view path) override {
    KeyId k = 0;
    size_t start = 0;
    while (true) {
      size_t end = path.find('\\', start);
      std::string_view part = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
      bool created = false;
      LONG rc = store_.CreateChild(k, part, &k, &created);
      if (rc != ERROR_SUCCESS) return RegStatus::Registry(rc, "cannot create the key");
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
    key_ = k;
    return RegStatus::Ok();
  }
  RegStatus DeleteKey(std::string_view) override { return RegStatus::Ok(); }
  RegStatus SetValue(std::string_view name, DWORD type, std::string_view stored) override {
    LONG rc = store_.SetValue(key_, name, type, stored);
    if (rc != ERROR_SUCCESS) return RegStatus::Registry(rc, "cannot store the value");
    return RegStatus::Ok();
  }
  RegStatus DeleteValue(std::string_view) override { return RegStatus::Ok(); }

 private:
  RegistryStore& store_;
  KeyId key_ = 0;
};

}  // namespace

RegStatus WinePrefix::Find(const std::string& prefix, std::vector<File>* files) {
  files->clear();
  struct stat st;
  if (stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return RegStatus::Syntax(0, prefix + " is not a folder");
  }
  std::string base = prefix.empty() || prefix.back() == '/' ? prefix : prefix + "/";
  const File all[] = {
      {"system.reg", base + "system.reg", HKEY_LOCAL_MACHINE, ""},
      {"user.reg", base + "user.reg", HKEY_USERS, CurrentUserKeyName()},
      {"userdef.reg", base + "userdef.reg", HKEY_USERS, ".DEFAULT"},
  };
  for (const File& f : all) {
    if (access(f.path.c_str(), F_OK) == 0) files->push_back(f);
  }
  if (files->empty()) {
    return RegStatus::Syntax(0, prefix + " is not a Wine prefix: it has no system.reg, "
                                         "user.reg or userdef.reg");
  }
  return RegStatus::Ok();
}

RegStatus WinePrefix::Read(const std::string& prefix, RegSink& sink) {
  std::vector<File> files;
  RegStatus status = Find(prefix, &files);
  if (!status.ok()) return status;
  for (const File& f : files) {
    std::string error;
    auto input = RegByteInput::OpenFile(f.path, &error);
    if (!input) return RegStatus::Syntax(0, error);
    RegTextSource source(std::move(input));
    std::string hive = f.hive == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_USERS";
    if (!f.sub_key.empty()) hive += "\\" + f.sub_key;
    // The hive key itself exists even when the file names no key.
    status = sink.OpenKey(hive);
    if (status.ok()) {
      PrefixedSink prefixed(sink, hive);
      WineRegParser parser;
      status = parser.Parse(source, prefixed);
    }
    if (!status.ok()) return status.InFile(f.name);
  }
  return RegStatus::Ok();
}

std::unique_ptr<RegistryStore> WinePrefix::Load(const std::string& prefix, RegStatus* status) {
  std::string error;
  auto store = SqliteStore::OpenInMemory(&error);
  if (!store) {
    *status = RegStatus::Registry(ERROR_BADDB, error);
    return nullptr;
  }
  store->BeginTransaction();
  StoreSink sink(*store);
  *status = sink.OpenKey("HKEY_LOCAL_MACHINE");
  if (status->ok()) *status = sink.OpenKey("HKEY_USERS");
  if (status->ok()) *status = Read(prefix, sink);
  if (!status->ok()) return nullptr;
  store->CommitTransaction();
  store->MakeReadOnly();
  return store;
}

void WinePrefix::RegisterOpener() { RegisterStoreOpener("wine", &WinePrefix::Load); }

}  // namespace qvr
