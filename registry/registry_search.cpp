#include "registry/registry_search.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "base/hex.h"
#include "base/unicode.h"

namespace qvr {
namespace {

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Compares texts with the search's wanted text, folded once up front so that
// each name or datum costs one fold and one scan.
class Matcher {
 public:
  explicit Matcher(const SearchOptions& options)
      : whole_(options.whole), match_case_(options.match_case),
        wanted_(options.match_case ? options.text : FoldCase(options.text)) {}

  bool Matches(std::string_view text) {
    if (match_case_) return Compare(text);
    folded_ = FoldCase(text);
    return Compare(folded_);
  }

 private:
  bool Compare(std::string_view text) const {
    return whole_ ? text == wanted_ : text.find(wanted_) != std::string_view::npos;
  }

  bool whole_;
  bool match_case_;
  std::string wanted_;
  std::string folded_;  // kept between calls for its capacity
};

// A key being walked: its handle, its full name, and the next sub-key to ask
// for. The handle's own cursor continues the listing after the last name
// given, so sub-keys added or deleted meanwhile neither repeat nor stall it.
struct Frame {
  HKEY key = 0;
  std::string path;
  DWORD next_child = 0;
};

}  // namespace

RegistrySearch::RegistrySearch(RegistryService& service, HKEY top, std::string top_path,
                               SearchOptions options)
    : service_(service), top_(top), top_path_(std::move(top_path)), options_(std::move(options)) {}

// The walk's state and its steps; each step is one registry call, so the
// service's lock is taken for one call at a time.
class RegistrySearch::Walker {
 public:
  Walker(RegistryService& service, const SearchOptions& options,
         const std::function<void(const SearchMatch&)>& found)
      : service_(service), options_(options), found_(found), matcher_(options) {}

  // The values of `key`, matched and reported in their order.
  LONG Values(HKEY key, const std::string& path) {
    if (!options_.value_names && !options_.data) return ERROR_SUCCESS;
    for (DWORD index = 0;; ++index) {
      DWORD type = REG_NONE;
      LONG rc = service_.EnumValueBytes(key, index, &name_, &type, &stored_);
      if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
      if (rc != ERROR_SUCCESS) return rc;
      if (!options_.types.empty() &&
          std::find(options_.types.begin(), options_.types.end(), type) == options_.types.end()) {
        continue;
      }
      SearchMatch::Kind kind;
      if (options_.value_names && matcher_.Matches(name_)) {
        kind = SearchMatch::Kind::kValueName;
      } else if (options_.data && DataMatches(type)) {
        kind = SearchMatch::Kind::kData;
      } else {
        continue;
      }
      SearchMatch match;
      match.kind = kind;
      match.key_path = path;
      match.value_name = name_;
      match.type = type;
      match.data = stored_;
      found_(match);
    }
  }

  void KeyName(const std::string& path, std::string_view name) {
    if (!options_.keys || !matcher_.Matches(name)) return;
    SearchMatch match;
    match.kind = SearchMatch::Kind::kKey;
    match.key_path = path;
    found_(match);
  }

  // The name of sub-key `index` of `key`, into `*name`.
  LONG SubKey(HKEY key, DWORD index, std::string* name) {
    for (;;) {
      DWORD size = static_cast<DWORD>(buffer_.size());
      LONG rc = service_.EnumKey(key, index, buffer_.data(), &size);
      if (rc == ERROR_MORE_DATA) {
        buffer_.resize(std::max<size_t>(size + 1, buffer_.size() * 2));
        continue;
      }
      if (rc == ERROR_SUCCESS) name->assign(buffer_.data(), size);
      return rc;
    }
  }

 private:
  // The value just listed, as text: text types string by string, others as hex.
  bool DataMatches(DWORD type) {
    if (!IsText(type)) return matcher_.Matches(HexBytes(stored_, kUpperHexDigits));
    text_ = Utf16ToUtf8(LeBytesToUtf16(stored_));
    std::string_view rest = text_;
    if (type != REG_MULTI_SZ) {
      // A string ends at its first NUL, as the A-style calls give it.
      return matcher_.Matches(rest.substr(0, rest.find('\0')));
    }
    while (!rest.empty()) {
      size_t end = rest.find('\0');
      std::string_view one = rest.substr(0, end);
      if (one.empty()) return false;  // the empty string ends the list
      if (matcher_.Matches(one)) return true;
      if (end == std::string_view::npos) return false;
      rest.remove_prefix(end + 1);
    }
    return false;
  }

  RegistryService& service_;
  const SearchOptions& options_;
  const std::function<void(const SearchMatch&)>& found_;
  Matcher matcher_;
  std::string name_, stored_, text_;
  std::vector<char> buffer_ = std::vector<char>(512);
};

// Without recursion the top is listed as `reg query` lists a key: its values,
// then the names of its sub-keys, which are matched but not entered.
LONG RegistrySearch::TopChildren(Walker& walker) {
  std::string name;
  for (DWORD index = 0;; ++index) {
    if (cancelled_) return ERROR_CANCELLED;
    LONG rc = walker.SubKey(top_, index, &name);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    ++visited_;
    walker.KeyName(top_path_ + "\\" + name, name);
  }
}

LONG RegistrySearch::Run(const std::function<void(const SearchMatch&)>& found) {
  Walker walker(service_, options_, found);
  std::vector<Frame> stack;
  auto close_all = [&] {
    for (size_t i = 1; i < stack.size(); ++i) service_.CloseKey(stack[i].key);
  };
  // The top is visited first: its values, never its own name.
  if (cancelled_) return ERROR_CANCELLED;
  ++visited_;
  LONG rc = walker.Values(top_, top_path_);
  if (rc != ERROR_SUCCESS) return rc;
  if (!options_.recurse) return TopChildren(walker);
  stack.push_back({top_, top_path_, 0});
  std::string name;
  while (!stack.empty()) {
    if (cancelled_) {
      close_all();
      return ERROR_CANCELLED;
    }
    Frame& frame = stack.back();
    rc = walker.SubKey(frame.key, frame.next_child++, &name);
    if (rc != ERROR_SUCCESS) {
      // The end of the listing, or a key deleted while it was walked: either
      // way its walk ends here; only the top's own failure is the search's.
      if (rc != ERROR_NO_MORE_ITEMS && rc != ERROR_KEY_DELETED) {
        close_all();
        return rc;
      }
      if (stack.size() > 1) service_.CloseKey(frame.key);
      stack.pop_back();
      if (stack.empty() && rc == ERROR_KEY_DELETED) return rc;
      continue;
    }
    HKEY child = 0;
    rc = service_.OpenKey(frame.key, name.c_str(), &child);
    if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted since it was listed
    if (rc != ERROR_SUCCESS) {
      close_all();
      return rc;
    }
    std::string path = frame.path + "\\" + name;
    ++visited_;
    walker.KeyName(path, name);
    rc = walker.Values(child, path);
    if (rc == ERROR_KEY_DELETED) {
      service_.CloseKey(child);
      continue;
    }
    if (rc != ERROR_SUCCESS) {
      service_.CloseKey(child);
      close_all();
      return rc;
    }
    stack.push_back({child, std::move(path), 0});
  }
  return cancelled_ ? ERROR_CANCELLED : ERROR_SUCCESS;
}

}  // namespace qvr
