// qvr-reg query: lists a key's values and sub-keys, or one value, or a whole
// tree.
#include <ostream>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "console.h"
#include "options.h"
#include "registry/registry_service.h"
#include "session.h"
#include "value_text.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kUsage =
    "qvr-reg query KeyName [/v ValueName | /ve] [/s]\n"
    "\n"
    "  KeyName    [\\\\Machine\\]FullKey\n"
    "             Machine    a machine of the machine table (it offers HKLM and HKU only)\n"
    "             FullKey    ROOTKEY[\\SubKey]\n"
    "             ROOTKEY    HKLM | HKCU | HKCR | HKU | HKCC, or the long names\n"
    "                        (HKEY_LOCAL_MACHINE, ...)\n"
    "  /v         Shows the value ValueName of the key.\n"
    "  /ve        Shows the key's default (unnamed) value.\n"
    "  /s         Shows every sub-key and value below the key; with /v or /ve,\n"
    "             searches the whole tree for that value.\n"
    "\n"
    "Each key is shown by its full name, each value on a line of its own:\n"
    "four spaces, the name, four spaces, the type, four spaces, the data.\n"
    "\n"
    "Examples:\n"
    "  qvr-reg query \"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\" /v ProductName\n"
    "  qvr-reg query HKCU\\Environment /s\n";

void PrintValue(Invocation& call, const RegistryValue& value) {
  call.out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
           << TypeName(value.type) << "    " << DataText(value.type, value.data) << "\n";
}

LONG Values(HKEY key, std::vector<RegistryValue>* values) {
  for (DWORD index = 0;; ++index) {
    RegistryValue value;
    LONG rc = ValueAt(key, index, &value);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    values->push_back(std::move(value));
  }
}

LONG SubKeys(HKEY key, std::vector<std::string>* names) {
  for (DWORD index = 0;; ++index) {
    std::string name;
    LONG rc = SubKeyAt(key, index, &name);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    names->push_back(std::move(name));
  }
}

// The key's values, then a blank line and the full names of its sub-keys.
int QueryKey(Invocation& call, HKEY key, const KeyPath& path) {
  std::vector<RegistryValue> values;
  std::vector<std::string> sub_keys;
  LONG rc = Values(key, &values);
  if (rc == ERROR_SUCCESS) rc = SubKeys(key, &sub_keys);
  if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
  call.out << "\n";
  if (!values.empty() || sub_keys.empty()) call.out << path.Text() << "\n";
  for (const RegistryValue& value : values) PrintValue(call, value);
  if (!values.empty()) call.out << "\n";
  for (const std::string& name : sub_keys) call.out << path.Child(name).Text() << "\n";
  return kExitSuccess;
}

// Hands every key of a tree (by its full name) and its values (as the
// A-style calls give them) to OnKey and OnValue, depth first, in one walk of
// the store (RegistryService::WalkTree): keys are not opened one by one, and
// the walk keeps its place on the heap, so its cost grows with the size of
// the tree, whatever its depth.
class TreeReader : public StoreWalkVisitor {
 public:
  explicit TreeReader(std::string top) : name_(std::move(top)) {}

  LONG Key(int depth, KeyId, std::string_view name) override {
    if (depth > 0) {
      name_.resize(ends_[depth - 1]);
      name_ += '\\';
      name_ += name;
    }
    ends_.resize(depth);
    ends_.push_back(name_.size());
    return OnKey(name_);
  }
  LONG Value(std::string_view name, DWORD type, std::string_view stored) override {
    value_.name.assign(name);
    value_.type = type;
    // Text is stored as UTF-16LE; the A-style calls, and so the output, give UTF-8.
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
      value_.data = Utf16ToUtf8(LeBytesToUtf16(stored));
    } else {
      value_.data.assign(stored);
    }
    return OnValue(value_);
  }

 protected:
  virtual LONG OnKey(const std::string& name) = 0;
  virtual LONG OnValue(const RegistryValue& value) = 0;

 private:
  std::string name_;
  std::vector<size_t> ends_;  // where the name of the key at each depth ends
  RegistryValue value_;
};

// Walks the tree below `key` with `reader`; 87 where the registry has no service.
LONG WalkTree(HKEY key, TreeReader& reader) {
  auto service = CurrentRegistryService();
  return service ? service->WalkTree(key, reader) : ERROR_INVALID_PARAMETER;
}

// Every key of the tree in order, each with its values and a blank line.
LONG QueryTree(Invocation& call, HKEY key, const KeyPath& path) {
  class Printer : public TreeReader {
   public:
    Printer(Invocation& call, std::string top) : TreeReader(std::move(top)), call_(call) {}
    // A key was printed, and its blank line is still due.
    bool any() const { return any_; }

   private:
    LONG OnKey(const std::string& name) override {
      call_.out << (any_ ? "\n" : "") << name << "\n";
      any_ = true;
      return ERROR_SUCCESS;
    }
    LONG OnValue(const RegistryValue& value) override {
      PrintValue(call_, value);
      return ERROR_SUCCESS;
    }
    Invocation& call_;
    bool any_ = false;
  };
  Printer printer(call, path.Text());
  LONG rc = WalkTree(key, printer);
  if (printer.any()) call.out << "\n";
  return rc;
}

// Every key of the tree that holds the value `value_name`, with that value.
LONG SearchTree(Invocation& call, HKEY key, const KeyPath& path, const std::string& value_name,
                int* matches) {
  class Search : public TreeReader {
   public:
    Search(Invocation& call, std::string top, const std::string& wanted, int* matches)
        : TreeReader(std::move(top)), call_(call), wanted_(wanted), matches_(matches) {}

   private:
    LONG OnKey(const std::string& name) override {
      key_ = &name;
      return ERROR_SUCCESS;
    }
    LONG OnValue(const RegistryValue& value) override {
      if (!EqualsNoCase(value.name, wanted_)) return ERROR_SUCCESS;
      call_.out << *key_ << "\n";
      PrintValue(call_, value);
      call_.out << "\n";
      ++*matches_;
      return ERROR_SUCCESS;
    }
    Invocation& call_;
    const std::string& wanted_;
    int* matches_;
    const std::string* key_ = nullptr;
  };
  Search search(call, path.Text(), value_name, matches);
  return WalkTree(key, search);
}

int Run(Invocation& call) {
  ParsedOptions options;
  std::string error;
  if (!ParseOptions(call.args, OptionRules{{"ve", "s"}, {"v"}}, &options, &error)) {
    return SyntaxError(call, "query", error);
  }
  if (options.Positional().size() != 1) return SyntaxError(call, "query", "Give one key name.");
  if (options.Has("v") && options.Has("ve")) {
    return SyntaxError(call, "query", "/v and /ve exclude each other.");
  }
  KeyPath path;
  if (!ParseKeyPath(options.Positional()[0], &path, &error)) return Fail(call, error);
  RegistrySession session(&call.err);
  HKEY key = 0;
  LONG rc = session.Open(path, false, &key);
  if (rc != ERROR_SUCCESS) return FailOnMachine(call, path.machine, rc);

  const bool one_value = options.Has("v") || options.Has("ve");
  const std::string name = options.Has("v") ? *options.Value("v") : "";
  if (options.Has("s")) {
    call.out << "\n";
    if (!one_value) {
      rc = QueryTree(call, key, path);
      return rc == ERROR_SUCCESS ? kExitSuccess : FailWithCode(call, rc);
    }
    int matches = 0;
    rc = SearchTree(call, key, path, name, &matches);
    if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
    call.out << "End of search: " << matches << " match(es) found.\n";
    return matches > 0 ? kExitSuccess : kExitFailure;
  }
  if (!one_value) return QueryKey(call, key, path);

  RegistryValue value;
  rc = FindValue(key, name, &value);
  if (rc == ERROR_FILE_NOT_FOUND && options.Has("ve")) {
    call.out << "\n" << path.Text() << "\n    (Default)    REG_SZ    (value not set)\n\n";
    return kExitSuccess;
  }
  if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
  call.out << "\n" << path.Text() << "\n";
  PrintValue(call, value);
  call.out << "\n";
  return kExitSuccess;
}

const bool kRegistered =
    RegisterVerb({"query", "Shows keys and values, one value, or a whole tree.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
