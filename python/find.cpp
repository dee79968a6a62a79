#include "python/find.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <pybind11/stl.h>

#include "base/unicode.h"
#include "python/registry_error.h"
#include "regfile/reg_key_path.h"
#include "regfile/wine_prefix.h"
#include "registry/registry_search.h"

namespace qvr::python {
namespace py = pybind11;
namespace {

// How many matches wait for the script before the search waits for it.
constexpr size_t kQueued = 256;

// A value's stored bytes as Python sees them: text as str, REG_MULTI_SZ as a
// list of str, REG_DWORD and REG_QWORD as int, anything else as bytes.
py::object DataObject(DWORD type, const std::string& stored) {
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::string text = Utf16ToUtf8(LeBytesToUtf16(stored));
    if (type != REG_MULTI_SZ) return py::str(text.substr(0, text.find('\0')));
    py::list strings;
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\0', start);
      if (end == start) break;  // the empty string ends the list
      strings.append(py::str(text.substr(start, end - start)));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return strings;
  }
  if ((type == REG_DWORD && stored.size() == 4) || (type == REG_QWORD && stored.size() == 8)) {
    uint64_t value = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
      value |= static_cast<uint64_t>(static_cast<unsigned char>(stored[i])) << (8 * i);
    }
    return py::int_(value);
  }
  return py::bytes(stored);
}

// A search running on its own thread, and the matches it found that the
// script has not taken yet. The worker and the script's thread meet under
// mu_; the GIL is never taken by the worker.
class FindIterator {
 public:
  FindIterator(std::shared_ptr<RegistryService> service, HKEY top, bool close_top, HKEY root,
               bool close_root, std::string top_path, SearchOptions options)
      : service_(std::move(service)), top_(top), close_top_(close_top), root_(root),
        close_root_(close_root),
        search_(std::make_unique<RegistrySearch>(*service_, top, std::move(top_path),
                                                 std::move(options))) {
    worker_ = std::thread([this] { Work(); });
  }
  ~FindIterator() {
    Stop();
    if (close_top_) service_->CloseKey(top_);
    if (close_root_) service_->CloseKey(root_);
  }

  // The next match; StopIteration at the end, the registry's error when the
  // search failed.
  SearchMatch Next() {
    std::optional<SearchMatch> match;
    LONG rc = ERROR_SUCCESS;
    {
      // The GIL goes before mu_ is taken, so no thread holds one and waits
      // for the other.
      py::gil_scoped_release unlocked;
      std::unique_lock<std::mutex> lock(mu_);
      changed_.wait(lock, [&] { return !queue_.empty() || rc_.has_value(); });
      if (!queue_.empty()) {
        match = std::move(queue_.front());
        queue_.pop_front();
        changed_.notify_all();
      } else {
        rc = *rc_;
      }
    }
    if (match) return std::move(*match);
    if (rc == ERROR_SUCCESS || rc == ERROR_CANCELLED) throw py::stop_iteration();
    RaiseRegistryError(rc, "the search failed");
  }

  // Ends the search and drops the matches not taken yet.
  void Cancel() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stopping_ = true;
      queue_.clear();
    }
    search_->Cancel();
    changed_.notify_all();
  }
  int64_t KeysVisited() const { return search_->KeysVisited(); }

 private:
  void Work() {
    LONG rc = search_->Run([this](const SearchMatch& match) {
      std::unique_lock<std::mutex> lock(mu_);
      changed_.wait(lock, [&] { return queue_.size() < kQueued || stopping_; });
      if (stopping_) return;
      queue_.push_back(match);
      changed_.notify_all();
    });
    std::lock_guard<std::mutex> lock(mu_);
    rc_ = rc;
    changed_.notify_all();
  }

  // Ends the search and waits for its thread (which never needs the GIL).
  void Stop() {
    Cancel();
    if (worker_.joinable()) worker_.join();
  }

  std::shared_ptr<RegistryService> service_;
  HKEY top_;
  bool close_top_;
  HKEY root_;
  bool close_root_;
  std::unique_ptr<RegistrySearch> search_;
  std::mutex mu_;
  std::condition_variable changed_;
  std::deque<SearchMatch> queue_;
  std::optional<LONG> rc_;
  bool stopping_ = false;
  std::thread worker_;
};

std::unique_ptr<FindIterator> Start(const std::string& path, SearchOptions options) {
  RegKeyPath key;
  std::string error;
  if (!RegKeyPath::Parse(path, &key, &error)) throw py::value_error(path + ": " + error);
  Status status;
  LONG rc = ERROR_SUCCESS;
  std::shared_ptr<RegistryService> service;
  HKEY root = 0, top = 0;
  bool close_root = false;
  {
    py::gil_scoped_release unlocked;
    service = CurrentRegistryService(&status);
    if (service) {
      rc = key.OpenRoot(*service, &root, &close_root);
      if (rc == ERROR_SUCCESS) rc = service->OpenKey(root, key.sub_key().c_str(), &top);
      if (rc != ERROR_SUCCESS && close_root) service->CloseKey(root);
    }
  }
  if (!status.ok()) RaiseRegistryError(status.code(), status.message());
  if (rc != ERROR_SUCCESS) RaiseRegistryError(rc, "cannot open the key " + path);
  std::string top_path = key.FileName();
  if (!key.machine().empty()) top_path = "\\\\" + key.machine() + "\\" + top_path;
  return std::make_unique<FindIterator>(service, top, true, root, close_root, top_path,
                                        std::move(options));
}

}  // namespace

void BindFind(py::module_& m) {
  WinePrefix::RegisterOpener();
  py::object type =
      py::module_::import("collections")
          .attr("namedtuple")("Match", py::make_tuple("kind", "key_path", "value_name", "type",
                                                      "data"));
  type.attr("__module__") = m.attr("__name__");
  m.attr("Match") = type;
  py::class_<FindIterator>(m, "FindIterator", "The matches of a running search.")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__",
           [type](FindIterator& it) {
             SearchMatch match = it.Next();
             static const char* const kKinds[] = {"key", "value_name", "data"};
             const bool key = match.kind == SearchMatch::Kind::kKey;
             return type(kKinds[static_cast<int>(match.kind)], match.key_path,
                         key ? py::object(py::none()) : py::str(match.value_name),
                         key ? py::object(py::none()) : py::int_(match.type),
                         key ? py::object(py::none()) : DataObject(match.type, match.data));
           })
      .def("cancel", &FindIterator::Cancel,
           "Stops the search and drops the matches not taken yet; iteration then ends.")
      .def_property_readonly("keys_visited", &FindIterator::KeysVisited,
                             "How many keys the search has visited so far.");
  m.def(
      "find",
      [](const std::string& path, const std::string& text, bool keys, bool value_names, bool data,
         bool whole, bool match_case, std::vector<DWORD> types, bool recurse) {
        SearchOptions options;
        options.text = text;
        options.keys = keys;
        options.value_names = value_names;
        options.data = data;
        options.whole = whole;
        options.match_case = match_case;
        options.types = std::move(types);
        options.recurse = recurse;
        return Start(path, std::move(options));
      },
      py::arg("path"), py::arg("text"), py::kw_only(), py::arg("keys") = true,
      py::arg("value_names") = true, py::arg("data") = true, py::arg("whole") = false,
      py::arg("match_case") = false, py::arg("types") = std::vector<DWORD>(),
      py::arg("recurse") = true,
      "Searches the key `path` ([\\\\MACHINE\\]HIVE[\\sub\\key]) and the tree below it for "
      "`text` in key names, value names and data (text types as text, REG_MULTI_SZ string by "
      "string, other types as upper-case hex digits), any letter case unless match_case, a part "
      "unless whole, only values of `types` when given. Returns an iterator of Match(kind, "
      "key_path, value_name, type, data) in tree order, kind being 'key', 'value_name' or "
      "'data' (a key's match has None for the value's fields); data is str, a list of str, int "
      "or bytes. The search runs on its own thread while the matches are taken; dropping the "
      "iterator or calling cancel() stops it. Raises FileNotFoundError for a missing key, "
      "ValueError for a name that is not a key's, OSError when the search fails.");
}

}  // namespace qvr::python
