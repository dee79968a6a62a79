// WindowsStore: the registry of a Windows installation on a drive mounted on
// Linux (a dual-boot partition, a virtual machine's disk opened with
// guestmount, a forensic copy), put together from its hive files as Windows
// puts it together at boot, and read-only.
//
//   HKEY_LOCAL_MACHINE\SAM, SECURITY, SOFTWARE, SYSTEM
//                         Windows\System32\config\SAM, ... (each where present)
//   HKEY_LOCAL_MACHINE\HARDWARE
//                         an empty key: Windows builds it at boot
//   HKEY_USERS\.DEFAULT   Windows\System32\config\DEFAULT
//   HKEY_USERS\<SID>      NTUSER.DAT of each profile that ProfileList names
//                         (SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\<SID>)
//   HKEY_USERS\<SID>_Classes
//                         that profile's AppData\Local\Microsoft\Windows\UsrClass.dat
//
// and HKLM\SYSTEM\CurrentControlSet is the ControlSet00N that the DWORD
// SYSTEM\Select\Current names: the same key under a second name, as on a running Windows,
// listed among SYSTEM's sub-keys in name order. A profile's ProfileImagePath
// ("C:\Users\name", "%SystemDrive%\Users\name") is taken below the drive
// that holds the Windows folder, whatever its drive letter. Names on disk are
// matched without regard to case, since a drive mounted on Linux may spell
// them "windows/system32/config" as well as "Windows/System32/config".
//
// A hive that is missing or cannot be read leaves its key out and the others
// in place; LeftOut() says which and why, for a person, and also names the
// hives shown without the changes that wait in their logs (hivex cannot
// replay them), as a drive of a Windows that hibernated holds them. Every hive is opened
// read-only, so nothing on the drive is ever changed: every write gives 5.
// The hives are read when the store opens; a hive rewritten since is read
// again by its HiveStore, but the set of hives stays as it was found.
//
// Key ids: the keys above the hives are small numbers; keys of a hive carry
// the hive's number in the bits above 2^40 and the hive store's own id below.
//
// Not thread-safe: the registry service calls a store behind its mutex.
#ifndef QVR_REGISTRY_WINDOWS_STORE_H_
#define QVR_REGISTRY_WINDOWS_STORE_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/hive_store.h"
#include "registry/registry_store.h"
#include "registry/status.h"

namespace qvr {

class WindowsStore : public RegistryStore {
 public:
  // Opens the installation at `dir`, a drive holding a Windows folder or that
  // folder itself, into `*store`. Fails with 2 when `dir` holds no
  // Windows\System32\config, or when not one of its hives can be read.
  static Status Open(const std::string& dir, std::unique_ptr<WindowsStore>* store);
  ~WindowsStore() override;

  // What was left out, one entry per key: "HKLM\SAM (why)". Empty when the
  // whole registry is there.
  const std::vector<std::string>& LeftOut() const { return left_out_; }

  bool ReadOnly() const override { return true; }
  LONG FindChild(KeyId parent, std::string_view name, KeyId* child) override;
  LONG CreateChild(KeyId parent, std::string_view name, KeyId* child, bool* created) override;
  LONG FindKey(KeyId key) override;
  LONG HasChildren(KeyId key, bool* has_children) override;
  LONG DeleteKey(KeyId key) override { return ERROR_ACCESS_DENIED; }
  LONG EnumChild(KeyId key, int64_t index, EnumCursor* cursor, std::string* name) override;
  LONG EnumValue(KeyId key, int64_t index, EnumCursor* cursor, std::string* name, DWORD* type,
                 std::string* data) override;
  // The calls' walk, with each hive's own one-pass walk spliced in below
  // the keys above the hives.
  LONG Walk(KeyId top, StoreWalkVisitor& visitor) override;
  // The hive's answer for its keys; counted from the listings above the
  // hives and for SYSTEM's root, whose listing holds CurrentControlSet.
  LONG QueryInfo(KeyId key, KeyInfo* info) override;
  LONG SetKeyTime(KeyId key, int64_t last_write) override { return ERROR_ACCESS_DENIED; }
  LONG GetValue(KeyId key, std::string_view name, DWORD* type, std::string* data) override;
  LONG SetValue(KeyId key, std::string_view name, DWORD type, std::string_view data) override {
    return ERROR_ACCESS_DENIED;
  }
  LONG DeleteValue(KeyId key, std::string_view name) override { return ERROR_ACCESS_DENIED; }

 private:
  static constexpr int kHiveShift = 40;
  static constexpr KeyId kLocalMask = (KeyId{1} << kHiveShift) - 1;

  // A sub-key of a key above the hives.
  struct Child {
    std::string fold;
    std::string name;
    KeyId id;
  };
  class Splice;

  WindowsStore() = default;

  // Builds the tree of the installation whose drive is `drive` and whose
  // Windows folder is `windows`.
  void Assemble(const std::string& drive, const std::string& windows);
  // Opens the hive at `relative` below `folder` (names matched without
  // regard to case) as the sub-key `name` of the key `parent` above the
  // hives; `shown` names that key in LeftOut. The hive's root id, 0 when it
  // was left out.
  KeyId Attach(KeyId parent, const std::string& name, const std::string& folder,
               std::string_view relative, const std::string& shown);
  // Shows the control set that SYSTEM\Select\Current names as
  // CurrentControlSet of the SYSTEM hive whose root is `system`.
  void LinkCurrentControlSet(KeyId system);
  // Attaches the hives of each profile of the SOFTWARE hive whose root is
  // `software` below HKEY_USERS.
  void AttachProfiles(KeyId software, const std::string& drive, const std::string& windows);

  // The hive holding `key` and the key's id there; null for a key above the
  // hives (or an id of no hive).
  HiveStore* HiveOf(KeyId key, KeyId* local) const;
  // True for an id of a key above the hives.
  bool IsAbove(KeyId key) const { return key >= 0 && key < static_cast<KeyId>(above_.size()); }
  // SYSTEM's root listing, with CurrentControlSet in its place.
  LONG SystemListing(std::vector<std::string>* names);

  std::vector<std::vector<Child>> above_;  // sub-keys by id, sorted by fold; 0 holds the roots
  std::vector<std::unique_ptr<HiveStore>> hives_;  // hive n at n - 1
  std::vector<std::string> left_out_;
  KeyId system_root_ = -1;  // SYSTEM's root, when it shows CurrentControlSet
  KeyId current_control_set_ = 0;
  std::vector<std::string> system_listing_;  // the last SystemListing
};

}  // namespace qvr

#endif  // QVR_REGISTRY_WINDOWS_STORE_H_
