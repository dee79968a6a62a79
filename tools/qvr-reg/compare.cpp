// qvr-reg compare: compares the values (and with /s the trees) of two keys,
// on this machine or on two machines, as reg.exe does.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "console.h"
#include "options.h"
#include "session.h"
#include "stored_tree.h"
#include "value_text.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr int kExitDifferent = 2;

constexpr std::string_view kUsage =
    "qvr-reg compare KeyName1 KeyName2 [/v ValueName | /ve] [/s] [/oa | /od | /os | /on]\n"
    "\n"
    "  KeyName1, KeyName2  [\\\\Machine\\]FullKey: the keys to compare.\n"
    "  /v         Compares the value ValueName only.\n"
    "  /ve        Compares the default (unnamed) value only.\n"
    "  /s         Compares every sub-key and value below the two keys, too; with\n"
    "             /v or /ve that value in each key of the two trees.\n"
    "  /oa        Shows the differences and the matches.\n"
    "  /od        Shows the differences only (the default).\n"
    "  /os        Shows the matches only.\n"
    "  /on        Shows neither, only the result.\n"
    "\n"
    "A value only in KeyName1 is shown after \"<\", one only in KeyName2 after \">\",\n"
    "a value in both with other data or another type on both lines, a match after\n"
    "\"=\"; with /s a sub-key that only one side has is shown as a \"Key:\" line.\n"
    "Values match when their types and stored data are the same.\n"
    "\n"
    "Exit code: 0 identical, 2 different, 1 failure.\n"
    "\n"
    "Examples:\n"
    "  qvr-reg compare HKCU\\Software\\Acme HKCU\\Software\\AcmeBackup /s\n"
    "  qvr-reg compare HKLM\\SOFTWARE\\Acme \\\\buildhost\\HKLM\\SOFTWARE\\Acme /v Version /oa\n";

struct Shown {
  bool differences = true;
  bool matches = false;
};

// Compares two trees read by ReadStoredTree, writing the lines asked for.
class TreeComparison {
 public:
  TreeComparison(Invocation& call, Shown shown, const KeyPath& left, const KeyPath& right)
      : call_(call), shown_(shown), left_(left), right_(right) {}

  bool different() const { return different_; }
  // Compares only the values named `name` (/v or /ve with /s).
  void OnlyValue(std::string name) { only_ = std::move(name); }

  void Keys(const std::vector<StoredKey>& left, const std::vector<StoredKey>& right) {
    std::map<std::string, const StoredKey*> right_keys;
    for (const StoredKey& key : right) right_keys[FoldCase(key.path)] = &key;
    for (const StoredKey& key : left) {
      auto it = right_keys.find(FoldCase(key.path));
      if (it == right_keys.end()) {
        Difference('<', "Key: " + left_.Child(key.path).Text());
        continue;
      }
      Values(key, *it->second);
      right_keys.erase(it);
    }
    // What only the right side has, in its own order.
    for (const StoredKey& key : right) {
      if (right_keys.count(FoldCase(key.path))) {
        Difference('>', "Key: " + right_.Child(key.path).Text());
      }
    }
  }

  void Values(const StoredKey& left, const StoredKey& right) {
    const std::string left_key = left_.Child(left.path).Text();
    const std::string right_key = right_.Child(right.path).Text();
    for (const StoredValue& value : left.values) {
      if (!Wanted(value)) continue;
      const StoredValue* other = Find(right, value.name);
      if (other == nullptr) {
        Difference('<', ValueLine(left_key, value));
      } else if (other->type != value.type || other->stored != value.stored) {
        Difference('<', ValueLine(left_key, value));
        Difference('>', ValueLine(right_key, *other));
      } else if (shown_.matches) {
        call_.out << "= " << ValueLine(left_key, value) << "\n";
      }
    }
    for (const StoredValue& value : right.values) {
      if (Wanted(value) && Find(left, value.name) == nullptr) {
        Difference('>', ValueLine(right_key, value));
      }
    }
  }

  void OneValue(const StoredValue* left, const StoredValue* right) {
    const std::string left_key = left_.Text(), right_key = right_.Text();
    if (left && right && left->type == right->type && left->stored == right->stored) {
      if (shown_.matches) call_.out << "= " << ValueLine(left_key, *left) << "\n";
      return;
    }
    if (left) Difference('<', ValueLine(left_key, *left));
    if (right) Difference('>', ValueLine(right_key, *right));
  }

  static const StoredValue* Find(const StoredKey& key, const std::string& name) {
    for (const StoredValue& value : key.values) {
      if (EqualsNoCase(value.name, name)) return &value;
    }
    return nullptr;
  }

 private:
  bool Wanted(const StoredValue& value) const { return !only_ || EqualsNoCase(value.name, *only_); }
  static std::string ValueLine(const std::string& key, const StoredValue& value) {
    return "Value: " + key + "  " + (value.name.empty() ? "(Default)" : value.name) + "  " +
           TypeName(value.type) + "  " + StoredDataText(value);
  }
  void Difference(char side, const std::string& line) {
    different_ = true;
    if (shown_.differences) call_.out << side << " " << line << "\n";
  }

  Invocation& call_;
  Shown shown_;
  const KeyPath& left_;
  const KeyPath& right_;
  bool different_ = false;
  std::optional<std::string> only_;
};

// Reads `path` (all below it when `recursive`) through `session`; on
// failure writes the error and gives false.
bool ReadSide(Invocation& call, RegistrySession& session, const KeyPath& path, bool recursive,
              std::vector<StoredKey>* tree) {
  HKEY key = 0;
  LONG rc = session.Open(path, false, &key);
  if (rc != ERROR_SUCCESS) {
    FailOnMachine(call, path.machine, rc);
    return false;
  }
  rc = ReadStoredTree(key, recursive, tree);
  session.Close(key);
  if (rc != ERROR_SUCCESS) {
    FailWithCode(call, rc);
    return false;
  }
  return true;
}

int Run(Invocation& call) {
  ParsedOptions options;
  std::string error;
  if (!ParseOptions(call.args, OptionRules{{"ve", "s", "oa", "od", "os", "on"}, {"v"}}, &options,
                    &error)) {
    return SyntaxError(call, "compare", error);
  }
  if (options.Positional().size() != 2) return SyntaxError(call, "compare", "Give two key names.");
  if (options.Has("v") && options.Has("ve")) {
    return SyntaxError(call, "compare", "/v and /ve exclude each other.");
  }
  if (options.Has("oa") + options.Has("od") + options.Has("os") + options.Has("on") > 1) {
    return SyntaxError(call, "compare", "/oa, /od, /os and /on exclude each other.");
  }
  const bool one_value = options.Has("v") || options.Has("ve");
  KeyPath left, right;
  if (!ParseKeyPath(options.Positional()[0], &left, &error)) return Fail(call, error);
  if (!ParseKeyPath(options.Positional()[1], &right, &error)) return Fail(call, error);
  Shown shown;
  shown.differences = !options.Has("os") && !options.Has("on");
  shown.matches = options.Has("oa") || options.Has("os");

  // One session serves both sides: each is read whole before the other.
  RegistrySession session(&call.err);
  std::vector<StoredKey> left_tree, right_tree;
  if (!ReadSide(call, session, left, options.Has("s"), &left_tree) ||
      !ReadSide(call, session, right, options.Has("s"), &right_tree)) {
    return kExitFailure;
  }
  TreeComparison comparison(call, shown, left, right);
  const std::string name = options.Has("v") ? *options.Value("v") : "";
  if (one_value && options.Has("s")) {
    // That value in every key of the two trees; keys only one side has
    // still differ.
    comparison.OnlyValue(name);
    comparison.Keys(left_tree, right_tree);
  } else if (one_value) {
    const StoredValue* l = TreeComparison::Find(left_tree[0], name);
    const StoredValue* r = TreeComparison::Find(right_tree[0], name);
    if (l == nullptr && r == nullptr) return FailWithCode(call, ERROR_FILE_NOT_FOUND);
    comparison.OneValue(l, r);
  } else {
    comparison.Keys(left_tree, right_tree);
  }
  call.out << "\nResult Compared: " << (comparison.different() ? "Different" : "Identical") << "\n";
  Succeed(call);
  return comparison.different() ? kExitDifferent : kExitSuccess;
}

const bool kRegistered = RegisterVerb(
    {"compare", "Compares two keys' values, or two trees, across machines too.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
