// CommandLine: the options of qvr-browser.
//
//   qvr-browser [--machine NAME] [--single | --multiple] [--pick PATH[=VALUE] ...]
//               [--export FILE [--format xml|reg]] [--screenshot FILE.png] [--size WxH] [--no-settings]
//               [--details]
//
// PATH is a key, its hive written in full or short (HKLM\SOFTWARE\Vendor);
// "=VALUE" names a value of that key ("=" alone: the key's default value);
// the first "=" ends the key. --pick takes every argument after it up to the
// next option. Parse never exits; it says what to do.
#ifndef QVR_QT_COMMAND_LINE_H_
#define QVR_QT_COMMAND_LINE_H_

#include <optional>
#include <string>
#include <vector>

namespace qvr::browser {

struct Pick {
  std::string key_path;           // as given, e.g. "HKLM\SOFTWARE\Vendor"
  std::optional<std::string> value;  // the value's name, when one was given
};

// What --export writes: the control's XML document, or a .reg file of the
// picked keys and values (control/pick_reg_file.h).
enum class ExportFormat { kXml, kReg };

struct CommandLine {
  std::optional<std::string> machine;  // --machine; else the machine shown last
  std::optional<bool> multiple;  // --single / --multiple, when given
  std::vector<Pick> picks;
  std::string export_file;
  ExportFormat export_format = ExportFormat::kXml;
  std::string screenshot_file;
  int width = 800;
  int height = 600;
  bool use_settings = true;
  bool details = false;  // --details: the last picked value's details open
  bool help = false;

  // True when the program runs without a person: it renders or exports, then
  // exits.
  bool Batch() const { return !export_file.empty() || !screenshot_file.empty(); }
};

// Parses argv[1..]. On a bad command line returns nothing and sets `error` to
// a message for the person.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string* error);

// The text of --help.
std::string UsageText();

// Splits "PATH[=VALUE]".
Pick ParsePick(const std::string& text);

}  // namespace qvr::browser

#endif  // QVR_QT_COMMAND_LINE_H_
