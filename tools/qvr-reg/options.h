// Options of a qvr-reg verb: "/name" or "-name", any letter case.
//
//   OptionRules rules{{"ve", "s", "f"}, {"v"}};  // flags, options with a value
//   ParsedOptions options;
//   if (!ParseOptions(call.args, rules, &options, &error)) ...
//   options.Positional()   // e.g. the key name
//   options.Has("ve"), options.Value("v")
#ifndef QVR_TOOLS_QVR_REG_OPTIONS_H_
#define QVR_TOOLS_QVR_REG_OPTIONS_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qvr::reg_tool {

struct OptionRules {
  std::vector<std::string_view> flags;       // options that stand alone
  std::vector<std::string_view> with_value;  // options followed by one argument
};

class ParsedOptions {
 public:
  bool Has(std::string_view name) const;
  // The argument of an option with a value; nullptr when it was not given.
  const std::string* Value(std::string_view name) const;
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  friend bool ParseOptions(const std::vector<std::string>&, const OptionRules&, ParsedOptions*,
                           std::string*);
  std::map<std::string, std::string> given_;  // by lower-case name
  std::vector<std::string> positional_;
};

// Sorts `args` into options and positional arguments. False, with `error`
// saying why, for an unknown or repeated option or one missing its argument.
// "/reg:32" and "/reg:64" are accepted everywhere and ignored: this registry
// has one view.
bool ParseOptions(const std::vector<std::string>& args, const OptionRules& rules,
                  ParsedOptions* options, std::string* error);

// True when the arguments ask for help ("/?" or "-?").
bool WantsHelp(const std::vector<std::string>& args);

}  // namespace qvr::reg_tool

#endif  // QVR_TOOLS_QVR_REG_OPTIONS_H_
