// qvr-reg export: writes a key with everything below it to a .reg file.
#include <unistd.h>

#include <string>
#include <vector>

#include "console.h"
#include "session.h"
#include "registry/registry_service.h"
#include "regfile/reg_file_exporter.h"
#include "base/unicode.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kUsage =
    "qvr-reg export KeyName FileName [/y] [/regedit4]\n"
    "\n"
    "  KeyName    [\\\\Machine\\]FullKey, as for query (another machine: HKLM and HKU).\n"
    "  FileName   The .reg file to write.\n"
    "  /y         Overwrites an existing file without asking.\n"
    "  /regedit4  Writes the older 8-bit \"REGEDIT4\" form instead of \"Windows Registry\n"
    "             Editor Version 5.00\" in UTF-16LE, as the Windows editor writes.\n"
    "\n"
    "The file is written under a temporary name and then put in place, so a failed\n"
    "export leaves an existing file as it was.\n"
    "\n"
    "Examples:\n"
    "  qvr-reg export HKCU\\Software\\Acme acme.reg\n"
    "  qvr-reg export \\\\winebox\\HKLM\\Software\\Wine wine.reg /y\n";

bool IsOption(const std::string& arg, std::string_view name) {
  return arg.size() == name.size() + 1 && (arg[0] == '/' || arg[0] == '-') &&
         EqualsNoCase(std::string_view(arg).substr(1), name);
}

int Run(Invocation& call) {
  bool overwrite = false, regedit4 = false;
  std::vector<std::string> positional;
  for (const std::string& arg : call.args) {
    if (IsOption(arg, "y")) {
      overwrite = true;
    } else if (IsOption(arg, "regedit4")) {
      regedit4 = true;
    } else if (IsOption(arg, "reg:32") || IsOption(arg, "reg:64")) {
      // One registry view here: accepted and ignored.
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return SyntaxError(call, "export", "Give a key name and a file name.");
  const std::string& file = positional[1];
  if (!overwrite && access(file.c_str(), F_OK) == 0 &&
      !Confirm(call, "File " + file + " already exists. Overwrite")) {
    return Cancelled(call);
  }
  RegFileExporter exporter(*CurrentRegistryService());
  Status status = exporter.ExportFile(
      positional[0], file,
      regedit4 ? RegFileWriter::Dialect::kRegedit4 : RegFileWriter::Dialect::kRegedit5);
  KeyPath path;
  std::string unused;
  ParseKeyPath(positional[0], &path, &unused);
  WarnOfMachine(call.err, path.machine);
  if (status.ok()) return Succeed(call);
  if (status.code() == ERROR_FILE_NOT_FOUND || status.code() == ERROR_BAD_NETPATH) {
    return FailOnMachine(call, path.machine, status.code());
  }
  return Fail(call, status.ToString());
}

const bool kRegistered =
    RegisterVerb({"export", "Writes a key and everything below it to a .reg file.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
