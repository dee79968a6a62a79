#include "regfile/wine_prefix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <utility>

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
  Status KeyTime(int64_t last_write) override { return inner_.KeyTime(last_write); }
  Status KeyClass(std::string_view class_name) override { return inner_.KeyClass(class_name); }

 private:
  RegSink& inner_;
  std::string prefix_;
  std::string path_;
};

// Writes straight into a store, below its hive roots. The keys' times are
// kept until Finish: every write moves a time, a key's own values and later
// sub-keys included.
class StoreSink : public RegSink {
 public:
  explicit StoreSink(SqliteStore& store) : store_(store) {}
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
  Status KeyTime(int64_t last_write) override {
    times_.emplace_back(key_, last_write);
    return Status::OK();
  }
  Status KeyClass(std::string_view class_name) override {
    LONG rc = store_.SetKeyClass(key_, class_name);
    return rc == ERROR_SUCCESS ? Status::OK() : Status::Registry(rc, "cannot store the class name");
  }
  // Gives the keys the times the files named, in file order (a later time
  // of a key is the finer one).
  Status Finish() {
    for (const auto& [key, time] : times_) {
      LONG rc = store_.SetKeyTime(key, time);
      if (rc != ERROR_SUCCESS) return Status::Registry(rc, "cannot store a key's time");
    }
    return Status::OK();
  }

 private:
  SqliteStore& store_;
  KeyId key_ = 0;
  std::vector<std::pair<KeyId, int64_t>> times_;
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
  if (status.ok()) status = sink.Finish();
  if (!status.ok()) return status;
  LONG rc = memory->CommitTransaction();
  if (rc != ERROR_SUCCESS) return Status::Registry(rc, "cannot keep the prefix's registry in memory");
  memory->MakeReadOnly();
  *store = std::move(memory);
  return status;
}

void WinePrefix::RegisterOpener() { RegisterStoreOpener("wine", &WinePrefix::Load); }

}  // namespace qvr
