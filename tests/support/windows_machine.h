// A Windows installation in a test's folder, listed in its machine table, so
// that every program can be shown to reach `windows:` machines. Its folders
// are spelled in mixed case, as a drive mounted on Linux may spell them.
//
//   HKLM\SOFTWARE  ProfileList names Alice (through %SystemDrive%) and Bob
//                  (whose profile folder is missing); Vendor\App has
//                  Path = REG_EXPAND_SZ "%AppHome%\bin".
//   HKLM\SYSTEM    Select\Current = 2; the Session Manager\Environment of
//                  ControlSet002 sets AppHome = REG_EXPAND_SZ
//                  "%SystemDrive%\Apps" and SystemDrive = "C:", that of
//                  ControlSet001 AppHome = "D:\Old".
//   HKU            .DEFAULT (dirty: its sequence numbers differ), Alice's
//                  NTUSER.DAT and UsrClass.dat.
//   no SAM, and a SECURITY cut short.
#ifndef QVR_TESTS_SUPPORT_WINDOWS_MACHINE_H_
#define QVR_TESTS_SUPPORT_WINDOWS_MACHINE_H_

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "registry/regf_writer.h"

namespace qvr::testing {

inline constexpr char kAliceSid[] = "S-1-5-21-7-7-7-1001";
inline constexpr char kBobSid[] = "S-1-5-21-7-7-7-1002";

// A value at a key's path below a hive's root; a key alone when `name` is null.
struct HiveEntry {
  const char* path;
  const char* name = nullptr;
  DWORD type = REG_SZ;
  std::string text;  // text types as UTF-8; others as their bytes
};

// Writes the hive `file` (and its folders) holding `entries`.
inline void WriteHiveFile(const std::string& file, const std::vector<HiveEntry>& entries) {
  HiveKey root;
  root.name = "ROOT";
  for (const HiveEntry& e : entries) {
    HiveKey* key = &root;
    for (std::string_view rest = e.path; !rest.empty();) {
      std::string_view part = rest.substr(0, rest.find('\\'));
      rest.remove_prefix(std::min(rest.size(), part.size() + 1));
      auto it = std::find_if(key->children.begin(), key->children.end(),
                             [&](const HiveKey& k) { return k.name == part; });
      if (it == key->children.end()) {
        key->children.emplace_back().name = part;
        it = key->children.end() - 1;
      }
      key = &*it;
    }
    if (e.name == nullptr) continue;
    bool text = e.type == REG_SZ || e.type == REG_EXPAND_SZ;
    key->values.push_back(
        {e.name, e.type, text ? Utf16ToLeBytes(Utf8ToUtf16(e.text) + u'\0') : e.text});
  }
  std::string image;
  WriteHive(root, &image);
  std::filesystem::create_directories(std::filesystem::path(file).parent_path());
  std::ofstream(file, std::ios::binary) << image;
}

// Writes the installation below `dir`/drive-NAME and the line
// `name = windows:DRIVE` into the machine table `table`; returns the drive.
inline std::string AddWindowsMachine(const std::string& dir, const std::string& table,
                                     const std::string& name) {
  const std::string drive = dir + "/drive-" + name;
  const std::string config = drive + "/WINDOWS/system32/Config/";
  const std::string profiles = "Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
  WriteHiveFile(config + "SOFTWARE",
                {{(profiles + kAliceSid).c_str(), "ProfileImagePath", REG_EXPAND_SZ,
                  "%SystemDrive%\\Users\\Alice"},
                 {(profiles + kBobSid).c_str(), "ProfileImagePath", REG_SZ, "C:\\Users\\Bob"},
                 {"Vendor\\App", "Path", REG_EXPAND_SZ, "%AppHome%\\bin"}});
  const std::string environment = "\\Control\\Session Manager\\Environment";
  WriteHiveFile(
      config + "SYSTEM",
      {{"Select", "Current", REG_DWORD, std::string("\2\0\0\0", 4)},
       {("ControlSet001" + environment).c_str(), "AppHome", REG_SZ, "D:\\Old"},
       {("ControlSet002" + environment).c_str(), "AppHome", REG_EXPAND_SZ, "%SystemDrive%\\Apps"},
       {("ControlSet002" + environment).c_str(), "SystemDrive", REG_SZ, "C:"}});
  WriteHiveFile(config + "DEFAULT", {{"Control Panel\\Desktop", "Wallpaper", REG_SZ, "default"}});
  {
    // The second sequence number and the checksum change alike, so the
    // header stays whole.
    std::fstream dirty(config + "DEFAULT", std::ios::in | std::ios::out | std::ios::binary);
    char bytes[2];
    for (std::streamoff at : {8, 0x1FC}) {
      dirty.seekg(at).read(bytes, 1);
      bytes[0] ^= 1;
      dirty.seekp(at).write(bytes, 1);
    }
  }
  WriteHiveFile(config + "SECURITY", {{"Policy", nullptr, REG_SZ, ""}});
  std::filesystem::resize_file(config + "SECURITY", 4200);
  WriteHiveFile(drive + "/users/ALICE/NTUSER.DAT", {{"Software\\Alice", "Name", REG_SZ, "alice"}});
  WriteHiveFile(drive + "/users/ALICE/AppData/local/Microsoft/windows/UsrClass.DAT",
                {{".txt", "", REG_SZ, "txtfile"}});
  std::ofstream(table, std::ios::app) << name << " = windows:" << drive << "\n";
  return drive;
}

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_WINDOWS_MACHINE_H_
