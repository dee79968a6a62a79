// qvr-reg query: lists a key's values and sub-keys, or one value, or a whole
// tree.
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "console.h"
#include "options.h"
#include "registry/registry_search.h"
#include "registry/registry_service.h"
#include "session.h"
#include "value_text.h"
#include "verb.h"

namespace qvr::reg_tool {
namespace {

constexpr std::string_view kUsage =
    "qvr-reg query KeyName [/v ValueName | /ve] [/s] [/se Separator] [/z]\n"
    "qvr-reg query KeyName /f Data [/k] [/v] [/d] [/c] [/e] [/t Type] [/s] [/se Separator] [/z]\n"
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
    "  /f         Finds Data (\"*\" finds everything) in the names of the key's\n"
    "             sub-keys and values and in its values' data, any letter case;\n"
    "             with /s, in the whole tree below the key.\n"
    "  /k /v /d   With /f: searches key names, value names, data only (any of\n"
    "             them together; all three when none is given).\n"
    "  /c /e      With /f: letter case counts; only the whole text matches.\n"
    "  /t         With /f: only values of these types (REG_SZ, REG_DWORD, ...,\n"
    "             several separated by commas). Data other than text is found\n"
    "             by its hexadecimal digits as REG_BINARY shows them.\n"
    "  /se        Shows the strings of REG_MULTI_SZ separated by Separator\n"
    "             (one character; \"\\0\" unless given).\n"
    "  /z         Shows each type's number after its name.\n"
    "\n"
    "Each key is shown by its full name, each value on a line of its own:\n"
    "four spaces, the name, four spaces, the type, four spaces, the data.\n"
    "\n"
    "Examples:\n"
    "  qvr-reg query \"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\" /v ProductName\n"
    "  qvr-reg query HKCU\\Environment /s\n"
    "  qvr-reg query HKLM\\SOFTWARE /f python /s /d\n";

// How values are shown: /se and /z.
struct Shown {
  std::string separator = "\\0";
  bool numbers = false;
};

// REG_MULTI_SZ's strings (UTF-8, with their terminators) up to the empty one
// that ends the list, joined by `separator`.
std::string MultiText(std::string_view data, const std::string& separator) {
  std::string text;
  for (size_t start = 0; start < data.size();) {
    size_t nul = data.find('\0', start);
    std::string_view piece = data.substr(start, nul == data.npos ? data.npos : nul - start);
    if (piece.empty() && nul != data.npos) break;
    if (start > 0) text += separator;
    text += piece;
    if (nul == data.npos) break;
    start = nul + 1;
  }
  return text;
}

void PrintValue(Invocation& call, const RegistryValue& value, const Shown& shown = Shown()) {
  call.out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
           << TypeName(value.type);
  if (shown.numbers) call.out << " (" << value.type << ")";
  call.out << "    "
           << (value.type == REG_MULTI_SZ ? MultiText(value.data, shown.separator)
                                          : DataText(value.type, value.data))
           << "\n";
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
int QueryKey(Invocation& call, HKEY key, const KeyPath& path, const Shown& shown) {
  std::vector<RegistryValue> values;
  std::vector<std::string> sub_keys;
  LONG rc = Values(key, &values);
  if (rc == ERROR_SUCCESS) rc = SubKeys(key, &sub_keys);
  if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
  call.out << "\n";
  if (!values.empty() || sub_keys.empty()) call.out << path.Text() << "\n";
  for (const RegistryValue& value : values) PrintValue(call, value, shown);
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
LONG QueryTree(Invocation& call, HKEY key, const KeyPath& path, const Shown& shown) {
  class Printer : public TreeReader {
   public:
    Printer(Invocation& call, std::string top, const Shown& shown)
        : TreeReader(std::move(top)), call_(call), shown_(shown) {}
    // A key was printed, and its blank line is still due.
    bool any() const { return any_; }

   private:
    LONG OnKey(const std::string& name) override {
      call_.out << (any_ ? "\n" : "") << name << "\n";
      any_ = true;
      return ERROR_SUCCESS;
    }
    LONG OnValue(const RegistryValue& value) override {
      PrintValue(call_, value, shown_);
      return ERROR_SUCCESS;
    }
    Invocation& call_;
    const Shown& shown_;
    bool any_ = false;
  };
  Printer printer(call, path.Text(), shown);
  LONG rc = WalkTree(key, printer);
  if (printer.any()) call.out << "\n";
  return rc;
}

// Every key of the tree that holds the value `value_name`, with that value.
LONG SearchTree(Invocation& call, HKEY key, const KeyPath& path, const std::string& value_name,
                const Shown& shown, int* matches) {
  class Search : public TreeReader {
   public:
    Search(Invocation& call, std::string top, const std::string& wanted, const Shown& shown,
           int* matches)
        : TreeReader(std::move(top)), call_(call), wanted_(wanted), shown_(shown),
          matches_(matches) {}

   private:
    LONG OnKey(const std::string& name) override {
      key_ = &name;
      return ERROR_SUCCESS;
    }
    LONG OnValue(const RegistryValue& value) override {
      if (!EqualsNoCase(value.name, wanted_)) return ERROR_SUCCESS;
      call_.out << *key_ << "\n";
      PrintValue(call_, value, shown_);
      call_.out << "\n";
      ++*matches_;
      return ERROR_SUCCESS;
    }
    Invocation& call_;
    const std::string& wanted_;
    const Shown& shown_;
    int* matches_;
    const std::string* key_ = nullptr;
  };
  Search search(call, path.Text(), value_name, shown, matches);
  return WalkTree(key, search);
}

// What /f with /k /v /d /c /e /t /s asks for; false, with `error`, for a
// type without a name.
bool FindOptions(const ParsedOptions& options, SearchOptions* find, std::string* error) {
  find->text = *options.Value("f");
  if (find->text == "*") find->text.clear();  // reg.exe's "everything"
  if (options.Has("k") || options.Has("v") || options.Has("d")) {
    find->keys = options.Has("k");
    find->value_names = options.Has("v");
    find->data = options.Has("d");
  }
  find->match_case = options.Has("c");
  find->whole = options.Has("e") && !find->text.empty();
  find->recurse = options.Has("s");
  if (const std::string* types = options.Value("t")) {
    std::string_view rest = *types;
    while (!rest.empty()) {
      std::string_view one = rest.substr(0, rest.find(','));
      rest.remove_prefix(std::min(rest.size(), one.size() + 1));
      DWORD type = 0;
      if (!TypeFromName(one, &type)) {
        *error = "Invalid type: " + std::string(one) + ".";
        return false;
      }
      find->types.push_back(type);
    }
  }
  return true;
}

// The matches of a search below `key`, as reg.exe prints them: a key that
// matches by its name on a line of its own, a value that matches under its
// key's name (once for the key's matching values together), then the count.
int FindInTree(Invocation& call, HKEY key, const KeyPath& path, const SearchOptions& find,
               const Shown& shown) {
  auto service = CurrentRegistryService();
  if (!service) return FailWithCode(call, ERROR_INVALID_PARAMETER);
  int matches = 0;
  std::string last_key;
  bool open_values = false;  // values were printed under last_key
  RegistrySearch search(*service, key, path.Text(), find);
  call.out << "\n";
  LONG rc = search.Run([&](const SearchMatch& match) {
    ++matches;
    if (match.kind == SearchMatch::Kind::kKey || match.key_path != last_key) {
      if (open_values) call.out << "\n";
      call.out << match.key_path << "\n";
      last_key = match.key_path;
      open_values = false;
    }
    if (match.kind == SearchMatch::Kind::kKey) return;
    RegistryValue value;
    value.name = match.value_name;
    value.type = match.type;
    // Text is stored as UTF-16LE; the output, as the A-style calls, gives UTF-8.
    value.data = match.type == REG_SZ || match.type == REG_EXPAND_SZ || match.type == REG_MULTI_SZ
                     ? Utf16ToUtf8(LeBytesToUtf16(match.data))
                     : match.data;
    PrintValue(call, value, shown);
    open_values = true;
  });
  if (open_values) call.out << "\n";
  if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
  call.out << "End of search: " << matches << " match(es) found.\n";
  return matches > 0 ? kExitSuccess : kExitFailure;
}

// True when the arguments hold /f: /v is then a flag, not a value's name.
bool Finds(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg.size() == 2 && (arg[0] == '/' || arg[0] == '-') && (arg[1] == 'f' || arg[1] == 'F')) {
      return true;
    }
  }
  return false;
}

int Run(Invocation& call) {
  ParsedOptions options;
  std::string error;
  const bool finds = Finds(call.args);
  const OptionRules rules = finds ? OptionRules{{"s", "k", "v", "d", "c", "e", "z"}, {"f", "t", "se"}}
                                  : OptionRules{{"ve", "s", "z"}, {"v", "se"}};
  if (!ParseOptions(call.args, rules, &options, &error)) {
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

  Shown shown;
  shown.numbers = options.Has("z");
  if (const std::string* separator = options.Value("se")) shown.separator = *separator;
  if (finds) {
    SearchOptions find;
    if (!FindOptions(options, &find, &error)) return SyntaxError(call, "query", error);
    return FindInTree(call, key, path, find, shown);
  }

  const bool one_value = options.Has("v") || options.Has("ve");
  const std::string name = options.Has("v") ? *options.Value("v") : "";
  if (options.Has("s")) {
    call.out << "\n";
    if (!one_value) {
      rc = QueryTree(call, key, path, shown);
      return rc == ERROR_SUCCESS ? kExitSuccess : FailWithCode(call, rc);
    }
    int matches = 0;
    rc = SearchTree(call, key, path, name, shown, &matches);
    if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
    call.out << "End of search: " << matches << " match(es) found.\n";
    return matches > 0 ? kExitSuccess : kExitFailure;
  }
  if (!one_value) return QueryKey(call, key, path, shown);

  RegistryValue value;
  rc = FindValue(key, name, &value);
  if (rc == ERROR_FILE_NOT_FOUND && options.Has("ve")) {
    call.out << "\n" << path.Text() << "\n    (Default)    REG_SZ    (value not set)\n\n";
    return kExitSuccess;
  }
  if (rc != ERROR_SUCCESS) return FailWithCode(call, rc);
  call.out << "\n" << path.Text() << "\n";
  PrintValue(call, value, shown);
  call.out << "\n";
  return kExitSuccess;
}

const bool kRegistered =
    RegisterVerb({"query", "Shows keys and values, one value, or a whole tree.", kUsage, Run});

}  // namespace
}  // namespace qvr::reg_tool
