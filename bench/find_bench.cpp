// Searching a tree (registry/registry_search.h) against walking it through
// the same registry calls without matching, on stores of the benchmark's own:
//   BM_Walk/<keys>     OpenKey, EnumKey and EnumValueBytes over every key, as
//                      the search makes them, and nothing else
//   BM_Find/<keys>     RegistrySearch for a text found in a few key names,
//                      value names and data: every name and datum matched
// The trees: 100 keys below the top, 10 below each, then the rest spread
// evenly below those, each key with 2 or 3 values (text, a DWORD, 16 bytes of
// binary), 2.5 values a key. <keys> is 100000 or 1000000; each store is built
// once, in one transaction, when its first benchmark runs.
//
//   bench_find_bench --benchmark_filter=/100000    # the million takes minutes to build
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "registry/registry_search.h"
#include "registry/registry_service.h"

namespace qvr {
namespace {

// A store of `keys` keys below HKCU\Bench in a new folder, removed at exit.
class Tree {
 public:
  explicit Tree(int keys) {
    std::string pattern = "/tmp/qvr-find-bench-XXXXXX";
    dir_ = mkdtemp(pattern.data());
    Status status = RegistryService::Open(dir_ + "/local.sqlite", "", &service_);
    if (!status.ok()) std::abort();
    HKEY top = 0;
    service_->CreateKey(HKEY_CURRENT_USER, "Bench", KEY_ALL_ACCESS, &top, nullptr);
    LONG rc = service_->Transact(top, [&] { return Fill(top, keys); });
    if (rc != ERROR_SUCCESS) std::abort();
    service_->CloseKey(top);
  }
  ~Tree() {
    service_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  RegistryService& Service() { return *service_; }

 private:
  LONG Fill(HKEY top, int keys) {
    made_ = 0;
    const int third = keys > 1100 ? (keys - 1100 + 999) / 1000 : 0;
    LONG rc = ERROR_SUCCESS;
    for (int a = 0; a < 100 && rc == ERROR_SUCCESS; ++a) {
      HKEY ka = Make(top, "Vendor" + std::to_string(a), &rc);
      for (int b = 0; b < 10 && rc == ERROR_SUCCESS; ++b) {
        HKEY kb = Make(ka, "Product" + std::to_string(b), &rc);
        for (int c = 0; c < third && made_ < keys && rc == ERROR_SUCCESS; ++c) {
          service_->CloseKey(Make(kb, "Component {" + std::to_string(c) + "}", &rc));
        }
        service_->CloseKey(kb);
      }
      service_->CloseKey(ka);
    }
    return rc;
  }

  // A sub-key with its values: every key a text and a DWORD, every other one
  // 16 bytes of binary too; one key in 5000 is named, and one in 5000 holds,
  // the text searched for.
  HKEY Make(HKEY parent, const std::string& name, LONG* rc) {
    ++made_;
    const bool named = made_ % 5000 == 0;
    HKEY key = 0;
    *rc = service_->CreateKey(parent, (named ? name + " Needle" : name).c_str(), KEY_ALL_ACCESS,
                              &key, nullptr);
    if (*rc != ERROR_SUCCESS) return 0;
    std::string text = "C:\\Program Files\\Vendor\\" + std::to_string(made_) + ".dll";
    if (made_ % 5000 == 2500) text += " needle";
    *rc = service_->SetValueBytes(key, "Path", REG_SZ, Utf16ToLeBytes(Utf8ToUtf16(text)));
    uint32_t n = static_cast<uint32_t>(made_);
    if (*rc == ERROR_SUCCESS) {
      *rc = service_->SetValueBytes(key, "Version", REG_DWORD,
                                    std::string(reinterpret_cast<const char*>(&n), 4));
    }
    if (*rc == ERROR_SUCCESS && made_ % 2 == 0) {
      *rc = service_->SetValueBytes(key, "Data", REG_BINARY, std::string(16, char(made_ & 0x7F)));
    }
    return key;
  }

  std::string dir_;
  std::shared_ptr<RegistryService> service_;
  int made_ = 0;
};

Tree& TreeOf(int keys) {
  static std::map<int, std::unique_ptr<Tree>> trees;
  auto& tree = trees[keys];
  if (!tree) tree = std::make_unique<Tree>(keys);
  return *tree;
}

// The walk the search makes, key by key through the same calls, matching nothing.
int64_t Walk(RegistryService& s, HKEY top) {
  int64_t values = 0;
  std::vector<std::pair<HKEY, DWORD>> stack = {{top, 0}};
  std::vector<char> buffer(512);
  std::string name, stored;
  while (!stack.empty()) {
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG rc = s.EnumKey(stack.back().first, stack.back().second++, buffer.data(), &size);
    if (rc != ERROR_SUCCESS) {
      if (stack.size() > 1) s.CloseKey(stack.back().first);
      stack.pop_back();
      continue;
    }
    HKEY child = 0;
    if (s.OpenKey(stack.back().first, buffer.data(), &child) != ERROR_SUCCESS) continue;
    DWORD type = 0;
    for (DWORD i = 0; s.EnumValueBytes(child, i, &name, &type, &stored) == ERROR_SUCCESS; ++i) {
      ++values;
    }
    stack.push_back({child, 0});
  }
  return values;
}

void BM_Walk(benchmark::State& state) {
  RegistryService& s = TreeOf(static_cast<int>(state.range(0))).Service();
  HKEY top = 0;
  s.OpenKey(HKEY_CURRENT_USER, "Bench", &top);
  int64_t values = 0;
  for (auto _ : state) values = Walk(s, top);
  state.counters["values"] = static_cast<double>(values);
  s.CloseKey(top);
}

void BM_Find(benchmark::State& state) {
  RegistryService& s = TreeOf(static_cast<int>(state.range(0))).Service();
  HKEY top = 0;
  s.OpenKey(HKEY_CURRENT_USER, "Bench", &top);
  int64_t matches = 0, visited = 0;
  SearchOptions options;
  options.text = "needle";
  for (auto _ : state) {
    matches = 0;
    RegistrySearch search(s, top, "HKEY_CURRENT_USER\\Bench", options);
    if (search.Run([&](const SearchMatch&) { ++matches; }) != ERROR_SUCCESS) {
      state.SkipWithError("the search failed");
    }
    visited = search.KeysVisited();
  }
  state.counters["matches"] = static_cast<double>(matches);
  state.counters["keys"] = static_cast<double>(visited);
  s.CloseKey(top);
}

BENCHMARK(BM_Walk)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Find)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
