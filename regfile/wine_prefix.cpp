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
  Status OpenKey(std::string_view path) override {
    path_ = prefix_;
    path_ += '\\';
    path_ += path;
    return inner_.OpenKey(path_);
  }
  Status DeleteKey(std::string_view path) override {
    return Status::Syntax(0, "a Wine registry file does not delete keys");
  }
  Status SetValue(std::string_view name, DWORD type, std::string_view stored) override {
    return inner_.SetValue(name, type, stored);
  }
  Status DeleteValue(std::string_view name) override {
    return Status::Syntax(0, "a Wine registry file does not delete values");
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
  Status OpenKey(std::string_view path) override {
    KeyId k = 0;
    size_t start = 0;
    // The first name is the hive's own key; the limit counts below it.
    int level = -1;
    while (true) {
      size_t end = path.find('\\', start);
      std::string_view part = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
      if (++level > kMaxKeyDepth) {
        return Status::Syntax(0, "a key lies more than " + std::to_string(kMaxKeyDepth) +
                                     " levels below its hive");
      }
      bool created = false;
      LONG rc = store_.CreateChild(k, part, &k, &created);
      if (rc != ERROR_SUCCESS) return Status::Registry(rc, "cannot create the key");
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
    key_ = k;
    return Status::OK();
  }
  Status DeleteKey(std::string_view) override { return Status::OK(); }
  Status SetValue(std::string_view name, DWORD type, std::string_view stored) override {
    LONG rc = store_.SetValue(key_, name, type, stored);
    if (rc != ERROR_SUCCESS) return Status::Registry(rc, "cannot store the value");
    return Status::OK();
  }
  Status DeleteValue(std::string_view) override { return Status::OK(); }

 private:
  RegistryStore& store_;
  KeyId key_ = 0;
};

}  // namespace

Status WinePrefix::Find(const std::string& prefix, std::vector<File>* files) {
  files->clear();
  struct stat st;
  if (stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return Status::Syntax(0, prefix + " is not a folder");
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
    return Status::Syntax(0, prefix + " is not a Wine prefix: it has no system.reg, "
                                         "user.reg or userdef.reg");
  }
  return Status::OK();
}

Status WinePrefix::Read(const std::string& prefix, RegSink& sink) {
  std::vector<File> files;
  Status status = Find(prefix, &files);
  if (!status.ok()) return status;
  for (const File& f : files) {
    std::unique_ptr<RegByteInput> input;
    status = RegByteInput::OpenFile(f.path, &input);
    if (!status.ok()) return status;
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
  return Status::OK();
}

Status WinePrefix::Load(const std::string& prefix, std::unique_ptr<RegistryStore>* store) {
  std::unique_ptr<SqliteStore> memory;
  Status status = SqliteStore::OpenInMemory(&memory);
  if (!status.ok()) return status;
  // Only the transaction's own failures could stop it in memory; the reading
  // below says what went wrong with the prefix.
  memory->BeginTransaction();
  StoreSink sink(*memory);
  status = sink.OpenKey("HKEY_LOCAL_MACHINE");
  if (status.ok()) status = sink.OpenKey("HKEY_USERS");
  if (status.ok()) status = Read(prefix, sink);
  if (!status.ok()) return status;
  LONG rc = memory->CommitTransaction();
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "cannot keep the prefix's registry in memory");
  memory->MakeReadOnly();
  *store = std::move(memory);
  return status;
}

void WinePrefix::RegisterOpener() { RegisterStoreOpener("wine", &WinePrefix::Load); }

}  // namespace qvr
