#include "options.h"

#include <algorithm>

#include "base/unicode.h"

namespace qvr::reg_tool {
namespace {

bool LooksLikeOption(const std::string& arg) {
  // An absolute file name ("/tmp/a.reg", "/a.hiv") is not an option, as no
  // option holds a '/' or a '.'.
  if (arg.size() >= 2 && arg[0] == '/' && arg.find_first_of("/.", 1) != std::string::npos) {
    return false;
  }
  return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-');
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool Contains(const std::vector<std::string_view>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool ParsedOptions::Has(std::string_view name) const { return given_.count(std::string(name)) > 0; }

const std::string* ParsedOptions::Value(std::string_view name) const {
  auto it = given_.find(std::string(name));
  return it == given_.end() ? nullptr : &it->second;
}

bool ParseOptions(const std::vector<std::string>& args, const OptionRules& rules,
                  ParsedOptions* options, std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!LooksLikeOption(arg)) {
      options->positional_.push_back(arg);
      continue;
    }
    std::string name = Lower(std::string_view(arg).substr(1));
    if (name == "reg:32" || name == "reg:64") continue;
    bool takes_value = Contains(rules.with_value, name);
    if (!takes_value && !Contains(rules.flags, name)) {
      *error = "Invalid option " + arg + ".";
      return false;
    }
    if (options->given_.count(name)) {
      *error = "The option " + arg + " is given twice.";
      return false;
    }
    std::string value;
    if (takes_value) {
      if (i + 1 >= args.size()) {
        *error = "The option " + arg + " needs an argument.";
        return false;
      }
      value = args[++i];
    }
    options->given_[name] = value;
  }
  return true;
}

bool WantsHelp(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& a) { return a == "/?" || a == "-?"; });
}

}  // namespace qvr::reg_tool
