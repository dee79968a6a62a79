#include "registry/windows_store.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <utility>

#include "base/unicode.h"

namespace qvr {
namespace {

constexpr KeyId kLocalMachine = 1;
constexpr KeyId kUsers = 2;
constexpr KeyId kHardware = 3;
constexpr char kCurrentControlSet[] = "CurrentControlSet";

std::string Join(const std::string& folder, std::string_view name) {
  return (folder.empty() || folder.back() != '/' ? folder + "/" : folder) + std::string(name);
}

// The entry `name` of `folder`, matched without regard to case: the name as
// written first, as most drives spell it the way Windows does.
bool FindEntry(const std::string& folder, std::string_view name, std::string* found) {
  struct stat st;
  if (stat(Join(folder, name).c_str(), &st) == 0) {
    *found = Join(folder, name);
    return true;
  }
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  bool matched = false;
  while (dirent* entry = readdir(dir)) {
    if (EqualsNoCase(entry->d_name, name)) {
      *found = Join(folder, entry->d_name);
      matched = true;
      break;
    }
  }
  closedir(dir);
  return matched;
}

// The path `relative` ("System32\config\SAM": names between '\' or '/')
// below `base`, each name matched without regard to case. False when one is
// not there, or the path would leave `base` ("..", which a ProfileImagePath
// might hold); `*path` is then where it was looked for.
bool FindOnDisk(const std::string& base, std::string_view relative, std::string* path) {
  std::string at = base;
  for (size_t start = 0; start <= relative.size();) {
    size_t end = std::min(relative.find_first_of("\\/", start), relative.size());
    std::string_view name = relative.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    if (name == ".." || !FindEntry(at, name, &at)) {
      std::string wanted(relative);
      std::replace(wanted.begin(), wanted.end(), '\\', '/');
      wanted.erase(0, wanted.find_first_not_of('/'));
      *path = Join(base, wanted);
      return false;
    }
  }
  *path = at;
  return true;
}

std::string Parent(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// `text` with every `name` ("%SystemDrive%") replaced by `value`, the name
// matched without regard to case, as Windows matches variables.
void Replace(std::string* text, std::string_view name, std::string_view value) {
  for (size_t at = 0; (at = FindNoCase(*text, name, at)) != std::string::npos; at += value.size()) {
    text->replace(at, name.size(), value);
  }
}

// Where a ProfileImagePath lies below the drive: "%SystemDrive%\Users\name"
// and "X:\Users\name" give "\Users\name", "%SystemRoot%\..." the Windows
// folder's own path. Only the system drive is mounted, so a profile on
// another drive letter is looked for there too.
std::string BelowDrive(std::string text, const std::string& windows_name) {
  Replace(&text, "%SystemDrive%", "C:");
  Replace(&text, "%SystemRoot%", "C:\\" + windows_name);
  Replace(&text, "%windir%", "C:\\" + windows_name);
  if (text.size() >= 2 && text[1] == ':') text.erase(0, 2);
  return text;
}

// A text value (REG_SZ or REG_EXPAND_SZ) up to its first NUL; false for
// another type or an empty text.
bool TextValue(HiveStore& hive, KeyId key, std::string_view name, std::string* text) {
  DWORD type = 0;
  std::string data;
  if (hive.GetValue(key, name, &type, &data) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  std::u16string units = LeBytesToUtf16(data);
  *text = Utf16ToUtf8(units.substr(0, units.find(u'\0')));
  return !text->empty();
}

// True when the hive `file`'s two sequence numbers differ: Windows stopped
// before it wrote the changes waiting in the .LOG1/.LOG2 files into it, as
// after a hibernation or Fast Startup.
bool Dirty(const std::string& file) {
  char head[12] = {};
  std::ifstream(file, std::ios::binary).read(head, sizeof head);
  return std::string_view(head + 4, 4) != std::string_view(head + 8, 4);
}

// Passes a hive's walk on as this store's: its keys' ids with the hive's
// bits, `depth` levels deeper, its top named `name`.
class Shifted : public StoreWalkVisitor {
 public:
  Shifted(StoreWalkVisitor& to, KeyId bits, int depth, std::string_view name)
      : to_(to), bits_(bits), depth_(depth), name_(name) {}
  LONG Key(int depth, KeyId id, std::string_view name) override {
    return to_.Key(depth_ + depth, id | bits_, depth == 0 ? name_ : name);
  }
  LONG Value(std::string_view name, DWORD type, std::string_view stored) override {
    return to_.Value(name, type, stored);
  }

 private:
  StoreWalkVisitor& to_;
  KeyId bits_;
  int depth_;
  std::string name_;
};

}  // namespace

Status WindowsStore::Open(const std::string& dir, std::unique_ptr<WindowsStore>* store) {
  std::string drive = dir, windows, config;
  while (drive.size() > 1 && drive.back() == '/') drive.pop_back();
  if (FindOnDisk(drive, "Windows/System32/config", &config)) {
    FindOnDisk(drive, "Windows", &windows);
  } else if (FindOnDisk(drive, "System32/config", &config)) {
    windows = drive;
    drive = Parent(drive);
  } else {
    return Status::Registry(ERROR_FILE_NOT_FOUND,
                            dir + " holds no Windows installation (no Windows/System32/config)");
  }
  std::unique_ptr<WindowsStore> s(new WindowsStore);
  s->Assemble(drive, windows);
  if (s->hives_.empty()) {
    std::string why;
    for (const std::string& left : s->left_out_) why += (why.empty() ? "" : "; ") + left;
    return Status::Registry(ERROR_FILE_NOT_FOUND, "no hive of the Windows installation at " + dir +
                                                      " can be read: " + why);
  }
  *store = std::move(s);
  return Status::OK();
}

WindowsStore::~WindowsStore() = default;

void WindowsStore::Assemble(const std::string& drive, const std::string& windows) {
  above_.resize(4);
  auto add = [this](KeyId parent, const std::string& name, KeyId id) {
    above_[parent].push_back({FoldCase(name), name, id});
  };
  add(0, "HKEY_LOCAL_MACHINE", kLocalMachine);
  add(0, "HKEY_USERS", kUsers);
  add(kLocalMachine, "HARDWARE", kHardware);
  std::string config;
  FindOnDisk(windows, "System32/config", &config);
  KeyId software = 0, system = 0;
  for (const char* name : {"SAM", "SECURITY", "SOFTWARE", "SYSTEM"}) {
    KeyId root = Attach(kLocalMachine, name, config, name, std::string("HKLM\\") + name);
    if (std::string_view(name) == "SOFTWARE") software = root;
    if (std::string_view(name) == "SYSTEM") system = root;
  }
  Attach(kUsers, ".DEFAULT", config, "DEFAULT", "HKU\\.DEFAULT");
  if (system != 0) LinkCurrentControlSet(system);
  if (software != 0) AttachProfiles(software, drive, windows);
  // Listed in name order, as every store lists sub-keys.
  for (auto& children : above_) {
    std::sort(children.begin(), children.end(),
              [](const Child& a, const Child& b) { return a.fold < b.fold; });
  }
}

KeyId WindowsStore::Attach(KeyId parent, const std::string& name, const std::string& folder,
                           std::string_view relative, const std::string& shown) {
  std::string file;
  if (!FindOnDisk(folder, relative, &file)) {
    left_out_.push_back(shown + " (" + file + ": not found)");
    return 0;
  }
  std::unique_ptr<HiveStore> hive;
  Status opened = HiveStore::Open(file, /*read_only=*/true, &hive);
  if (!opened.ok()) {
    left_out_.push_back(shown + " (" + opened.message() + ")");
    return 0;
  }
  if (Dirty(file)) {
    left_out_.push_back("the changes to " + shown + " that wait in " + file +
                        ".LOG1/.LOG2 (its header says it is dirty; they are not replayed here)");
  }
  hives_.push_back(std::move(hive));
  KeyId root = (static_cast<KeyId>(hives_.size()) << kHiveShift) | HiveStore::kRoot;
  above_[parent].push_back({FoldCase(name), name, root});
  return root;
}

void WindowsStore::LinkCurrentControlSet(KeyId system) {
  KeyId local = 0, select = 0, set = 0;
  HiveStore* hive = HiveOf(system, &local);
  // A hive saved with a CurrentControlSet of its own keeps it.
  if (hive->FindChild(local, kCurrentControlSet, &set) == ERROR_SUCCESS) return;
  DWORD type = 0;
  std::string data;
  if (hive->FindChild(local, "Select", &select) != ERROR_SUCCESS ||
      hive->GetValue(select, "Current", &type, &data) != ERROR_SUCCESS || type != REG_DWORD ||
      data.size() != 4) {
    left_out_.push_back("HKLM\\SYSTEM\\CurrentControlSet (SYSTEM\\Select has no DWORD Current)");
    return;
  }
  uint32_t current = 0;
  for (int i = 3; i >= 0; --i) current = current << 8 | static_cast<uint8_t>(data[i]);
  char name[32];
  std::snprintf(name, sizeof name, "ControlSet%03u", current);
  if (hive->FindChild(local, name, &set) != ERROR_SUCCESS) {
    left_out_.push_back("HKLM\\SYSTEM\\CurrentControlSet (SYSTEM\\Select\\Current names " +
                        std::string(name) + ", which is not there)");
    return;
  }
  system_root_ = system;
  current_control_set_ = set | (system & ~kLocalMask);
}

void WindowsStore::AttachProfiles(KeyId software, const std::string& drive,
                                  const std::string& windows) {
  KeyId list = 0;
  HiveStore* hive = HiveOf(software, &list);
  for (const char* name : {"Microsoft", "Windows NT", "CurrentVersion", "ProfileList"}) {
    if (hive->FindChild(list, name, &list) != ERROR_SUCCESS) return;  // no profiles
  }
  const std::string windows_name = windows.substr(windows.rfind('/') + 1);
  EnumCursor cursor;
  std::string sid, path, folder;
  for (int64_t i = 0; hive->EnumChild(list, i, &cursor, &sid) == ERROR_SUCCESS; ++i) {
    // Windows keeps a profile it failed to load as "<SID>.bak" and never
    // loads that entry.
    if (sid.size() > 4 && EqualsNoCase(sid.substr(sid.size() - 4), ".bak")) continue;
    const std::string shown = "HKU\\" + sid;
    KeyId profile = 0;
    if (hive->FindChild(list, sid, &profile) != ERROR_SUCCESS ||
        !TextValue(*hive, profile, "ProfileImagePath", &path)) {
      left_out_.push_back(shown + " (its ProfileList entry has no ProfileImagePath)");
      continue;
    }
    if (!FindOnDisk(drive, BelowDrive(path, windows_name), &folder)) {
      left_out_.push_back(shown + " (the profile folder " + path + ", " + folder + ": not found)");
      continue;
    }
    Attach(kUsers, sid, folder, "NTUSER.DAT", shown);
    Attach(kUsers, sid + "_Classes", folder, "AppData/Local/Microsoft/Windows/UsrClass.dat",
           shown + "_Classes");
  }
}

HiveStore* WindowsStore::HiveOf(KeyId key, KeyId* local) const {
  KeyId number = key >> kHiveShift;
  if (number <= 0 || number > static_cast<KeyId>(hives_.size())) return nullptr;
  *local = key & kLocalMask;
  return hives_[number - 1].get();
}

LONG WindowsStore::FindChild(KeyId parent, std::string_view name, KeyId* child) {
  KeyId local = 0;
  if (HiveStore* hive = HiveOf(parent, &local)) {
    if (parent == system_root_ && EqualsNoCase(name, kCurrentControlSet)) {
      *child = current_control_set_;
      return ERROR_SUCCESS;
    }
    LONG rc = hive->FindChild(local, name, child);
    if (rc == ERROR_SUCCESS) *child |= parent & ~kLocalMask;
    return rc;
  }
  if (!IsAbove(parent)) return ERROR_FILE_NOT_FOUND;
  const std::string fold = FoldCase(name);
  for (const Child& c : above_[parent]) {
    if (c.fold == fold) {
      *child = c.id;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG WindowsStore::CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) {
  *created = false;
  LONG rc = FindChild(parent, name, child);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : rc;
}

LONG WindowsStore::FindKey(KeyId key) {
  KeyId local = 0;
  if (HiveStore* hive = HiveOf(key, &local)) return hive->FindKey(local);
  return IsAbove(key) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG WindowsStore::HasChildren(KeyId key, bool* has_children) {
  KeyId local = 0;
  if (HiveStore* hive = HiveOf(key, &local)) return hive->HasChildren(local, has_children);
  if (!IsAbove(key)) return ERROR_FILE_NOT_FOUND;
  *has_children = !above_[key].empty();
  return ERROR_SUCCESS;
}

LONG WindowsStore::SystemListing(std::vector<std::string>* names) {
  KeyId local = 0;
  HiveStore* hive = HiveOf(system_root_, &local);
  names->clear();
  EnumCursor cursor;
  std::string name;
  LONG rc;
  for (int64_t i = 0; (rc = hive->EnumChild(local, i, &cursor, &name)) == ERROR_SUCCESS; ++i) {
    names->push_back(name);
  }
  if (rc != ERROR_NO_MORE_ITEMS) return rc;
  const std::string fold = FoldCase(kCurrentControlSet);
  auto at =
      std::lower_bound(names->begin(), names->end(), fold,
                       [](const std::string& n, const std::string& f) { return FoldCase(n) < f; });
  names->insert(at, kCurrentControlSet);
  return ERROR_SUCCESS;
}

LONG WindowsStore::EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) {
  KeyId local = 0;
  const std::vector<std::string>* listing = nullptr;
  std::vector<std::string> names;
  if (key == system_root_) {
    // Read anew at the start of each listing; later indexes go on from it.
    if (index == 0 || system_listing_.empty()) {
      LONG rc = SystemListing(&system_listing_);
      if (rc != ERROR_SUCCESS) return rc;
    }
    listing = &system_listing_;
  } else if (HiveStore* hive = HiveOf(key, &local)) {
    return hive->EnumChild(local, index, cursor, name);
  } else if (IsAbove(key)) {
    for (const Child& c : above_[key]) names.push_back(c.name);
    listing = &names;
  } else {
    return ERROR_FILE_NOT_FOUND;
  }
  if (index < 0 || index >= static_cast<int64_t>(listing->size())) return ERROR_NO_MORE_ITEMS;
  *name = (*listing)[index];
  cursor->index = index;
  return ERROR_SUCCESS;
}

LONG WindowsStore::EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name,
                             DWORD* type, std::string* data) {
  KeyId local = 0;
  if (HiveStore* hive = HiveOf(key, &local)) {
    return hive->EnumValue(local, index, cursor, name, type, data);
  }
  return IsAbove(key) ? ERROR_NO_MORE_ITEMS : ERROR_FILE_NOT_FOUND;
}

LONG WindowsStore::GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) {
  KeyId local = 0;
  if (HiveStore* hive = HiveOf(key, &local)) return hive->GetValue(local, name, type, data);
  return ERROR_FILE_NOT_FOUND;
}

// The calls' walk, where each key of a hive other than SYSTEM's root (whose
// listing holds CurrentControlSet) is walked by its hive in one pass.
class WindowsStore::Splice : public StoreWalkVisitor {
 public:
  Splice(WindowsStore& store, StoreWalkVisitor& to) : store_(store), to_(to) {}

  LONG Key(int depth, KeyId id, std::string_view name) override {
    KeyId local = 0;
    HiveStore* hive = store_.HiveOf(id, &local);
    if (hive == nullptr || id == store_.system_root_) return to_.Key(depth, id, name);
    Shifted keys(to_, id & ~kLocalMask, depth, name);
    LONG rc = hive->Walk(local, keys);
    return rc == ERROR_SUCCESS ? kWalkPrune : rc;
  }
  LONG Value(std::string_view name, DWORD type, std::string_view stored) override {
    return to_.Value(name, type, stored);
  }

 private:
  WindowsStore& store_;
  StoreWalkVisitor& to_;
};

LONG WindowsStore::Walk(KeyId top, StoreWalkVisitor& visitor) {
  KeyId local = 0;
  if (HiveOf(top, &local) == nullptr && !IsAbove(top)) return ERROR_FILE_NOT_FOUND;
  Splice splice(*this, visitor);
  return RegistryStore::Walk(top, splice);
}

LONG WindowsStore::QueryInfo(KeyId key, KeyInfo* info) {
  KeyId local = 0;
  HiveStore* hive = HiveOf(key, &local);
  if (hive != nullptr && key != system_root_) return hive->QueryInfo(local, info);
  if (hive == nullptr && !IsAbove(key)) return ERROR_FILE_NOT_FOUND;
  LONG rc = RegistryStore::QueryInfo(key, info);
  KeyInfo own;
  if (rc == ERROR_SUCCESS && hive != nullptr &&
      (rc = hive->QueryInfo(local, &own)) == ERROR_SUCCESS) {
    info->class_name = own.class_name;
    info->max_class_len = own.max_class_len;
    info->last_write = own.last_write;
  }
  return rc;
}

}  // namespace qvr
