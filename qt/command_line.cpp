#include "qt/command_line.h"

#include <cstdlib>

namespace qvr::browser {

Pick ParsePick(const std::string& text) {
  Pick pick;
  size_t eq = text.find('=');
  if (eq == std::string::npos) {
    pick.key_path = text;
  } else {
    pick.key_path = text.substr(0, eq);
    pick.value = text.substr(eq + 1);
  }
  while (!pick.key_path.empty() && pick.key_path.back() == '\\') pick.key_path.pop_back();
  return pick;
}

std::string UsageText() {
  return "Usage: qvr-browser [OPTION]...\n"
         "Browse the registry of this machine or another, pick keys and values, and export\n"
         "the pick as an XML document.\n"
         "\n"
         "  --machine NAME         show the registry of machine NAME (\"\" for this machine;\n"
         "                         default: the machine shown last, else this machine)\n"
         "  --single               single selection: the pick is the key or value clicked last\n"
         "  --multiple             multiple selection: tick keys and values (the default with --pick)\n"
         "  --pick PATH[=VALUE]... pick keys (PATH, e.g. HKLM\\SOFTWARE\\Vendor) and values\n"
         "                         (PATH=NAME; PATH= for the key's default value), as a person\n"
         "                         would: opening each level, clicking or ticking\n"
         "  --export FILE          write the picked items as an XML document to FILE and exit\n"
         "  --format xml|reg       what --export writes: the XML document (the default), or a\n"
         "                         .reg file of the picked keys and values, data read anew\n"
         "  --screenshot FILE.png  render the window to FILE.png and exit (no display needed)\n"
         "  --size WxH             window size in pixels (default 800x600)\n"
         "  --no-settings          neither read nor save the remembered settings\n"
         "  --details              open the details of the value picked last (the screenshot\n"
         "                         shows them over the window)\n"
         "  -h, --help             show this help and exit\n"
         "\n"
         "With --export or --screenshot the program runs on the offscreen platform unless\n"
         "QT_QPA_PLATFORM says otherwise. Settings (the control's properties, the window's\n"
         "size, the machine) are kept with QSettings under $XDG_CONFIG_HOME/qvrRegistryBrowser.\n"
         "Exit status: 0 on success, 1 when a machine, key or value cannot be reached or a\n"
         "file cannot be written, 2 on a bad command line.\n";
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string* error) {
  CommandLine line;
  auto fail = [&](const std::string& message) {
    *error = message + "\nTry 'qvr-browser --help'.";
    return std::nullopt;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) return false;
      *out = args[++i];
      return true;
    };
    if (a == "-h" || a == "--help") {
      line.help = true;
    } else if (a == "--machine") {
      std::string name;
      if (!value(&name)) return fail("--machine needs a machine name (\"\" for this machine)");
      line.machine = name;
    } else if (a == "--single" || a == "--multiple") {
      bool multiple = a == "--multiple";
      if (line.multiple && *line.multiple != multiple) return fail("--single and --multiple exclude each other");
      line.multiple = multiple;
    } else if (a == "--pick") {
      size_t before = line.picks.size();
      while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
        Pick pick = ParsePick(args[++i]);
        if (pick.key_path.empty()) return fail("--pick needs a key path, not '" + args[i] + "'");
        line.picks.push_back(std::move(pick));
      }
      if (line.picks.size() == before) return fail("--pick needs at least one PATH[=VALUE]");
    } else if (a == "--export") {
      if (!value(&line.export_file)) return fail("--export needs a file name");
    } else if (a == "--format") {
      std::string format;
      if (!value(&format)) return fail("--format needs xml or reg");
      if (format == "xml") {
        line.export_format = ExportFormat::kXml;
      } else if (format == "reg") {
        line.export_format = ExportFormat::kReg;
      } else {
        return fail("--format takes xml or reg, not '" + format + "'");
      }
    } else if (a == "--screenshot") {
      if (!value(&line.screenshot_file)) return fail("--screenshot needs a file name");
      const std::string& f = line.screenshot_file;
      if (f.size() < 4 || f.compare(f.size() - 4, 4, ".png") != 0)
        return fail("--screenshot writes PNG files: the name must end in .png");
    } else if (a == "--size") {
      std::string size;
      if (!value(&size)) return fail("--size needs WIDTHxHEIGHT");
      size_t x = size.find('x');
      char* end1 = nullptr;
      char* end2 = nullptr;
      long w = x == std::string::npos ? 0 : std::strtol(size.c_str(), &end1, 10);
      long h = x == std::string::npos ? 0 : std::strtol(size.c_str() + x + 1, &end2, 10);
      if (x == std::string::npos || end1 != size.c_str() + x || *end2 != '\0' || w < 160 ||
          h < 120 || w > 10000 || h > 10000)
        return fail("--size needs WIDTHxHEIGHT between 160x120 and 10000x10000, not '" + size + "'");
      line.width = static_cast<int>(w);
      line.height = static_cast<int>(h);
    } else if (a == "--no-settings") {
      line.use_settings = false;
    } else if (a == "--details") {
      line.details = true;
    } else if (a.rfind("-", 0) == 0) {
      return fail("unknown option '" + a + "'");
    } else {
      return fail("unexpected argument '" + a + "'");
    }
  }
  if (line.export_format == ExportFormat::kReg && line.export_file.empty()) {
    return fail("--format reg needs --export FILE");
  }
  return line;
}

}  // namespace qvr::browser
