// qvr-reg import: brings a .reg file, or the registry of a Wine prefix, into
// this machine's registry or another's, all of it or nothing.
#include <fstream>
#include <string>
#include <vector>

#include "console.h"
#include "registry/registry_service.h"
#include "regfile/reg_file_importer.h"
#include "base/unicode.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kUsage =
    "qvr-reg import FileName [\\\\Machine]\n"
    "qvr-reg import --wine Prefix [\\\\Machine]\n"
    "\n"
    "  FileName   A .reg file: \"Windows Registry Editor Version 5.00\" (UTF-16LE or\n"
    "             UTF-8) or \"REGEDIT4\".\n"
    "  --wine     Reads the Wine prefix Prefix (a folder such as ~/.wine): system.reg\n"
    "             into HKLM, user.reg into this user's hive (HKCU), userdef.reg into\n"
    "             HKU\\.DEFAULT. Also /wine.\n"
    "  \\\\Machine  A machine of the machine table instead of this one (HKLM and HKU only).\n"
    "\n"
    "The import is one transaction: when the file has a fault anywhere, nothing of it\n"
    "is written, and the error names the line and the fault.\n"
    "\n"
    "Examples:\n"
    "  qvr-reg import settings.reg\n"
    "  qvr-reg import --wine ~/.wine\n";

bool IsOption(const std::string& arg, std::string_view name) {
  for (std::string_view lead : {"/", "-", "--"}) {
    if (arg.size() == lead.size() + name.size() && arg.compare(0, lead.size(), lead) == 0 &&
        EqualsNoCase(std::string_view(arg).substr(lead.size()), name)) {
      return true;
    }
  }
  return false;
}

// True when the file `path` starts as Wine's own registry files do.
bool IsWineFile(const std::string& path) {
  std::string head(64, '\0');
  std::ifstream file(path, std::ios::binary);
  file.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(file.gcount()));
  if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) head.erase(0, 3);
  return head.compare(0, 21, "WINE REGISTRY Version") == 0;
}

int Run(Invocation& call) {
  bool wine = false;
  std::vector<std::string> positional;
  for (const std::string& arg : call.args) {
    if (IsOption(arg, "wine")) {
      if (wine) return SyntaxError(call, "import", "--wine is given twice.");
      wine = true;
    } else if (IsOption(arg, "reg:32") || IsOption(arg, "reg:64")) {
      // One registry view here: accepted and ignored.
    } else {
      positional.push_back(arg);
    }
  }
  std::string machine;
  if (positional.size() == 2 && positional[1].compare(0, 2, "\\\\") == 0) {
    machine = positional[1].substr(2);
    positional.pop_back();
  }
  if (positional.size() != 1) {
    return SyntaxError(call, "import", wine ? "Give one Wine prefix." : "Give one file name.");
  }
  RegFileImporter importer(*CurrentRegistryService());
  Status status = wine ? importer.ImportWinePrefix(positional[0], machine)
                          : importer.ImportFile(positional[0], machine);
  if (!status.ok()) {
    if (status.line() == 0 && (status.code() == ERROR_ACCESS_DENIED ||
                               status.code() == ERROR_BAD_NETPATH)) {
      return FailOnMachine(call, machine, status.code());
    }
    std::string text = status.ToString();
    if (!wine && IsWineFile(positional[0])) {
      const size_t slash = positional[0].rfind('/');
      const std::string prefix = slash == std::string::npos ? "." : positional[0].substr(0, slash);
      return Fail(call, positional[0] +
                            " is one of Wine's registry files (\"WINE REGISTRY Version 2\"), not a "
                            ".reg file: import its prefix with \"qvr-reg import --wine " +
                            (prefix.empty() ? "/" : prefix) + "\".");
    }
    if (!wine && status.line() > 0) text = positional[0] + ", " + text;
    return Fail(call, text);
  }
  return Succeed(call);
}

const bool kRegistered = RegisterVerb(
    {"import", "Imports a .reg file or a Wine prefix's registry, all or nothing.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
