// RegistrySearch: finds keys, value names and data below a key, in tree
// order, as reg.exe's `query /f` and the Windows editor's Find do.
//
// A search walks the tree below its top key through the registry service
// (any store: SQLite, Wine, hive files, a Windows machine) and reports each
// match as it is found. It runs on the thread that calls Run (hosts start it
// on a worker thread); Cancel and KeysVisited may be called from any other
// thread at any time. The walk never holds the service's lock for long, so
// other threads' registry calls (a window's) go on while it runs.
//
//   SearchOptions options;
//   options.text = "python";
//   RegistrySearch search(*CurrentRegistryService(), HKEY_LOCAL_MACHINE,
//                         "HKEY_LOCAL_MACHINE\\SOFTWARE", options);
//   LONG rc = search.Run([](const SearchMatch& m) { ... });
#ifndef QVR_REGISTRY_REGISTRY_SEARCH_H_
#define QVR_REGISTRY_REGISTRY_SEARCH_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "registry/registry_api.h"
#include "registry/registry_service.h"

namespace qvr {

struct SearchOptions {
  std::string text;          // what to find (UTF-8)
  bool keys = true;          // match key names          (reg.exe /k)
  bool value_names = true;   // match value names        (/v)
  bool data = true;          // match value data         (/d)
  bool whole = false;        // the whole text, not a part of it (/e)
  bool match_case = false;   // letter case counts       (/c)
  std::vector<DWORD> types;  // only values of these types; empty: all (/t)
  bool recurse = true;       // the whole tree below the top, not just the top (/s)
  // Without `recurse`, the top is searched as `reg query` lists it: its
  // values and the names of its sub-keys, which are not entered.
};

// One match. Data is compared as text: the text types as text (REG_MULTI_SZ
// string by string), other types as their hex text (uppercase digits, no
// separators, as `qvr-reg query` prints REG_BINARY).
struct SearchMatch {
  enum class Kind { kKey, kValueName, kData };
  Kind kind = Kind::kKey;
  std::string key_path;    // the full name of the key: the top's name, then "\" and names
  std::string value_name;  // kValueName, kData: the value's name ("" the default value)
  DWORD type = REG_NONE;   // kValueName, kData: the value's type
  std::string data;        // kValueName, kData: the value's bytes as stored
};

class RegistrySearch {
 public:
  // Searches the tree below `top` (a key handle of `service`, which the
  // search neither closes nor needs after Run returns), whose full name, as
  // matches report it, is `top_path`.
  RegistrySearch(RegistryService& service, HKEY top, std::string top_path, SearchOptions options);

  // Walks the tree and calls `found` for each match in tree order (a key,
  // then its values in their order, then its sub-keys in name order, depth
  // first; a key's own name is matched when it is visited, the top's never).
  // Returns 0 at the end, 1223 (ERROR_CANCELLED) once Cancel was called, or
  // the failure of the registry call that met it. A sub-key deleted while
  // the search runs is passed over; no key is reported twice.
  LONG Run(const std::function<void(const SearchMatch&)>& found);

  // Asks a running search to stop; it returns 1223 soon after. Thread-safe.
  void Cancel() { cancelled_ = true; }
  // How many keys the search has visited so far. Thread-safe.
  int64_t KeysVisited() const { return visited_; }

 private:
  class Walker;
  LONG TopChildren(Walker& walker);

  RegistryService& service_;
  HKEY top_;
  std::string top_path_;
  SearchOptions options_;
  std::atomic<bool> cancelled_{false};
  std::atomic<int64_t> visited_{0};
};

}  // namespace qvr

#endif  // QVR_REGISTRY_REGISTRY_SEARCH_H_
