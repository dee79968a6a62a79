#include "regfile/reg_file_importer.h"

#include <vector>

#include "regfile/reg_byte_input.h"
#include "regfile/reg_file_parser.h"
#include "regfile/reg_key_path.h"
#include "regfile/reg_sink.h"
#include "regfile/wine_prefix.h"

namespace qvr {
namespace {

std::string CodeText(LONG rc) {
  switch (rc) {
    case ERROR_ACCESS_DENIED: return "access is denied (5)";
    case ERROR_FILE_NOT_FOUND: return "not found (2)";
    case ERROR_INVALID_PARAMETER: return "the name is not valid (87)";
    case ERROR_BUSY:
      return "another program is writing to the registry and did not finish in time; try again "
             "when it has (170)";
    case ERROR_NOT_SAME_DEVICE:
      return "it lies in another store than the keys before it (the registry store, a loaded "
             "hive): one import cannot write both, so nothing was imported; import each part "
             "by itself (17)";
    case ERROR_NO_SYSTEM_RESOURCES: return "it is past the limits of a loaded hive (1450)";
    default: return "registry error " + std::to_string(rc);
  }
}

}  // namespace

// Applies what a reader reads through the registry service. The keys'
// times are kept until ApplyTimes: every write moves a time, a key's own
// values and later sub-keys included.
class RegFileImporter::ServiceSink : public RegSink {
 public:
  ServiceSink(RegistryService& service, HKEY hklm, HKEY hku, bool remote)
      : service_(service), hklm_(hklm), hku_(hku), remote_(remote) {}
  ~ServiceSink() override { Close(); }

  int64_t keys = 0;
  int64_t values = 0;

  Status OpenKey(std::string_view path) override {
    Close();
    HKEY root;
    std::string sub;
    Status status = Locate(path, &root, &sub);
    if (!status.ok()) return status;
    LONG rc = service_.CreateKey(root, sub.c_str(), KEY_WRITE, &current_, nullptr);
    if (rc != ERROR_SUCCESS) {
      current_ = 0;
      // The path's names were checked when it was read: 87 now means depth.
      std::string why = rc == ERROR_INVALID_PARAMETER
                            ? "it would lie more than " + std::to_string(kMaxKeyDepth) +
                                  " levels below its hive (87)"
                            : CodeText(rc);
      return Status::Registry(rc, "cannot create the key " + std::string(path) + ": " + why);
    }
    ++keys;
    root_ = root;
    sub_ = std::move(sub);
    return Status::OK();
  }

  Status KeyTime(int64_t last_write) override {
    times_.push_back({root_, sub_, last_write});
    return Status::OK();
  }

  // Gives the keys the times the file named, in file order (a later time of
  // a key is the finer one).
  Status ApplyTimes() {
    for (const KeyTimeRecord& record : times_) {
      HKEY key = 0;
      LONG rc = service_.OpenKey(record.root, record.sub.c_str(), &key);
      if (rc == ERROR_SUCCESS) {
        rc = service_.SetKeyLastWrite(key, record.time);
        service_.CloseKey(key);
      }
      if (rc != ERROR_SUCCESS) {
        return Status::Registry(
            rc, "cannot set the time of the key " + record.sub + ": " + CodeText(rc));
      }
    }
    return Status::OK();
  }

  Status DeleteKey(std::string_view path) override {
    Close();
    HKEY root;
    std::string sub;
    Status status = Locate(path, &root, &sub);
    if (!status.ok()) return status;
    if (sub.empty()) return Status::Registry(ERROR_ACCESS_DENIED, "a hive cannot be deleted");
    LONG rc = DeleteTree(root, sub);
    if (rc == ERROR_FILE_NOT_FOUND) return Status::OK();
    if (rc != ERROR_SUCCESS) {
      return Status::Registry(rc, "cannot delete the key " + std::string(path) + ": " +
                                         CodeText(rc));
    }
    return Status::OK();
  }

  Status SetValue(std::string_view name, DWORD type, std::string_view stored) override {
    name_.assign(name);
    LONG rc = service_.SetValueBytes(current_, name_.c_str(), type, stored);
    if (rc != ERROR_SUCCESS) {
      return Status::Registry(rc, "cannot write the value \"" + name_ + "\": " + CodeText(rc));
    }
    ++values;
    return Status::OK();
  }

  Status DeleteValue(std::string_view name) override {
    name_.assign(name);
    LONG rc = service_.DeleteValue(current_, name_.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
      return Status::Registry(rc, "cannot delete the value \"" + name_ + "\": " + CodeText(rc));
    }
    return Status::OK();
  }

 private:
  void Close() {
    if (current_ != 0) service_.CloseKey(current_);
    current_ = 0;
  }

  Status Locate(std::string_view path, HKEY* root, std::string* sub) {
    if (path.substr(0, 2) == "\\\\") {
      return Status::Syntax(0, "a key in a file cannot name a machine");
    }
    RegKeyPath key;
    std::string error;
    if (!RegKeyPath::Parse(path, &key, &error)) return Status::Syntax(0, error);
    *sub = key.sub_key();
    if (!remote_) {
      *root = key.root();
      return Status::OK();
    }
    if (key.root() == HKEY_LOCAL_MACHINE) {
      *root = hklm_;
    } else if (key.root() == HKEY_USERS) {
      *root = hku_;
    } else {
      return Status::Syntax(0, "only HKEY_LOCAL_MACHINE and HKEY_USERS can be reached on "
                                  "another machine");
    }
    return Status::OK();
  }

  // Deletes `sub` below `parent` with everything beneath it, deepest first.
  // The open keys from `sub` down are kept in a list rather than on the
  // machine stack, so any depth can be deleted, in time linear in its size.
  LONG DeleteTree(HKEY parent, const std::string& sub) {
    struct Open {
      HKEY key;
      std::string name;  // below the key before it (`parent` for the first)
    };
    std::vector<Open> open;
    HKEY key = 0;
    LONG rc = service_.OpenKey(parent, sub.c_str(), &key);
    if (rc != ERROR_SUCCESS) return rc;
    open.push_back({key, sub});
    char name[1025];
    while (rc == ERROR_SUCCESS && !open.empty()) {
      DWORD size = sizeof name;
      // Always the first sub-key: the ones before it are gone.
      rc = service_.EnumKey(open.back().key, 0, name, &size);
      if (rc == ERROR_SUCCESS) {
        rc = service_.OpenKey(open.back().key, name, &key);
        if (rc == ERROR_SUCCESS) open.push_back({key, std::string(name, size)});
        continue;
      }
      if (rc != ERROR_NO_MORE_ITEMS) break;
      // The key at the end has no sub-keys left: delete it from its parent.
      Open leaf = std::move(open.back());
      open.pop_back();
      service_.CloseKey(leaf.key);
      rc = service_.DeleteKey(open.empty() ? parent : open.back().key, leaf.name.c_str());
    }
    for (const Open& o : open) service_.CloseKey(o.key);
    return rc;
  }

  struct KeyTimeRecord {
    HKEY root;
    std::string sub;
    int64_t time;
  };

  RegistryService& service_;
  HKEY hklm_, hku_;
  bool remote_;
  HKEY current_ = 0;
  std::string name_;
  HKEY root_ = 0;  // the key opened last, below root_
  std::string sub_;
  std::vector<KeyTimeRecord> times_;
};

template <typename Body>
Status RegFileImporter::Run(const std::string& machine, Body body) {
  keys_ = values_ = 0;
  HKEY hklm = HKEY_LOCAL_MACHINE, hku = HKEY_USERS;
  bool remote = !machine.empty();
  if (remote) {
    // The machine table says why a machine cannot be reached.
    Status connected = service_.ConnectMachine(machine.c_str(), HKEY_LOCAL_MACHINE, &hklm);
    if (connected.ok()) {
      connected = service_.ConnectMachine(machine.c_str(), HKEY_USERS, &hku);
      if (!connected.ok()) service_.CloseKey(hklm);
    }
    if (!connected.ok()) return connected;
  }
  Status result;
  int64_t keys = 0, values = 0;
  LONG rc = service_.Transact(hklm, [&]() -> LONG {
    ServiceSink sink(service_, hklm, hku, remote);
    result = body(sink);
    if (result.ok()) result = sink.ApplyTimes();
    keys = sink.keys;
    values = sink.values;
    if (result.ok()) return ERROR_SUCCESS;
    return result.code() != 0 ? result.code() : ERROR_INVALID_DATA;
  });
  if (remote) {
    service_.CloseKey(hklm);
    service_.CloseKey(hku);
  }
  if (!result.ok()) return result;
  if (rc != ERROR_SUCCESS) {
    return Status::Registry(rc, "the import could not be written: " + CodeText(rc));
  }
  keys_ = keys;
  values_ = values;
  return Status::OK();
}

Status RegFileImporter::ImportFile(const std::string& path, const std::string& machine) {
  std::unique_ptr<RegByteInput> input;
  Status opened = RegByteInput::OpenFile(path, &input);
  if (!opened.ok()) return opened;
  RegTextSource source(std::move(input));
  return Import(source, machine);
}

Status RegFileImporter::Import(RegTextSource& source, const std::string& machine) {
  keys_ = values_ = 0;
  RegFileParser parser;
  // Refused before a transaction waits for the store.
  Status status = parser.ReadHeader(source);
  if (!status.ok()) return status;
  return Run(machine, [&](RegSink& sink) { return parser.ParseBody(source, sink); });
}

Status RegFileImporter::ImportWinePrefix(const std::string& prefix, const std::string& machine) {
  std::vector<WinePrefix::File> files;
  Status status = WinePrefix::Find(prefix, &files);
  if (!status.ok()) return status;
  return Run(machine, [&](RegSink& sink) { return WinePrefix::Read(prefix, sink); });
}

}  // namespace qvr
