// A Wine prefix in a test's folder, listed in its machine table, so that
// every program can be shown to reach `wine:` machines.
#ifndef QVR_TESTS_SUPPORT_WINE_MACHINE_H_
#define QVR_TESTS_SUPPORT_WINE_MACHINE_H_

#include <filesystem>
#include <fstream>
#include <string>

namespace qvr::testing {

// The prefix's HKLM: Software\Wine with Version = "win10".
inline constexpr char kWineSystemReg[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n\n"
    "[Software\\\\Wine] 1600000000\n"
    "\"Version\"=\"win10\"\n";

// Writes a prefix below `dir` and the line `name = wine:PREFIX` into the
// machine table `table`; returns the prefix's folder.
inline std::string AddWineMachine(const std::string& dir, const std::string& table,
                                  const std::string& name) {
  const std::string prefix = dir + "/wine-" + name;
  std::filesystem::create_directories(prefix);
  std::ofstream(prefix + "/system.reg") << kWineSystemReg;
  std::ofstream(table, std::ios::app) << name << " = wine:" << prefix << "\n";
  return prefix;
}

}  // namespace qvr::testing

#endif  // QVR_TESTS_SUPPORT_WINE_MACHINE_H_
