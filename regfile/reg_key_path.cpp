#include "regfile/reg_key_path.h"

#include "registry/hive_names.h"
#include "regfile/reg_syntax.h"
#include "base/unicode.h"

namespace qvr {

bool RegKeyPath::Parse(std::string_view text, RegKeyPath* out, std::string* error) {
  *out = RegKeyPath();
  if (text.substr(0, 2) == "\\\\") {
    text.remove_prefix(2);
    size_t slash = text.find('\\');
    out->machine_ = std::string(text.substr(0, slash));
    if (out->machine_.empty() || slash == std::string_view::npos) {
      *error = "a machine name must be followed by a hive: \\\\NAME\\HKLM\\...";
      return false;
    }
    text.remove_prefix(slash + 1);
  }
  size_t slash = text.find('\\');
  std::string_view root = text.substr(0, slash);
  std::string_view rest = slash == std::string_view::npos ? "" : text.substr(slash + 1);
  // A trailing backslash names the same key.
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  const HiveName* found = FindHive(root);
  if (found == nullptr) {
    *error = "unknown root key '" + std::string(root.substr(0, 64)) + "'";
    return false;
  }
  if (!out->machine_.empty() && found->hive != HKEY_LOCAL_MACHINE && found->hive != HKEY_USERS) {
    *error = "only HKEY_LOCAL_MACHINE and HKEY_USERS can be reached on another machine";
    return false;
  }
  if (!rest.empty()) {
    std::string problem = regsyntax::KeyPathProblem(rest);
    if (!problem.empty()) {
      *error = problem;
      return false;
    }
  }
  out->root_ = found->hive;
  out->root_name_ = found->full;
  out->sub_key_ = std::string(rest);
  return true;
}

std::string RegKeyPath::FileName() const {
  return sub_key_.empty() ? root_name_ : root_name_ + "\\" + sub_key_;
}

LONG RegKeyPath::OpenRoot(RegistryService& service, HKEY* root, bool* must_close) const {
  *must_close = false;
  if (machine_.empty()) {
    *root = root_;
    return ERROR_SUCCESS;
  }
  LONG rc = service.Connect(machine_.c_str(), root_, root);
  *must_close = rc == ERROR_SUCCESS;
  return rc;
}

}  // namespace qvr
