// .reg export and import of a registry of 100,000 keys and 200,000 values, and
// a raw enumeration of the same data for comparison, on a temporary store.
//
//   bench_regfile_bench
//
// BM_ExportRegFile writes the tree to a .reg file (UTF-16LE, as the Windows
// editor writes); BM_RawEnumeration makes the same registry reads without
// formatting or writing anything; BM_ImportRegFile reads that file into a
// fresh store in one transaction. The "per_item" counter is the time per key
// and value (300,100 items).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "registry/registry_service.h"
#include "regfile/reg_file_exporter.h"
#include "regfile/reg_file_importer.h"

namespace qvr {
namespace {

constexpr int kGroups = 100;
constexpr int kKeysPerGroup = 1000;
constexpr const char* kRoot = "HKCU\\Software\\Bench";

class Fixture {
 public:
  Fixture() {
    char pattern[] = "/tmp/qvr-regfile-bench-XXXXXX";
    dir_ = mkdtemp(pattern);
    Status opened = RegistryService::Open(dir_ + "/local.sqlite", dir_ + "/machines", &service_);
    if (!opened.ok()) throw std::runtime_error(opened.ToString());
    Fill();
  }
  ~Fixture() {
    service_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  RegistryService& Service() { return *service_; }
  const std::string& Dir() const { return dir_; }
  int64_t items = 0;

 private:
  // Each group key holds 1,000 keys with two values each (a text and a
  // dword, every fourth a binary of 40 bytes instead of the dword).
  void Fill() {
    RegistryService& s = *service_;
    s.Transact(HKEY_CURRENT_USER, [&]() -> LONG {
      HKEY root = 0;
      s.CreateKey(HKEY_CURRENT_USER, "Software\\Bench", KEY_ALL_ACCESS, &root, nullptr);
      ++items;
      for (int g = 0; g < kGroups; ++g) {
        HKEY group = 0;
        s.CreateKey(root, ("Group " + std::to_string(g)).c_str(), KEY_ALL_ACCESS, &group, nullptr);
        ++items;
        for (int k = 0; k < kKeysPerGroup; ++k) {
          HKEY key = 0;
          std::string name = "Key " + std::to_string(g * kKeysPerGroup + k);
          s.CreateKey(group, name.c_str(), KEY_ALL_ACCESS, &key, nullptr);
          std::string text = "C:\\Program Files\\Vendor \"" + name + "\"";
          s.SetValue(key, "Path", REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
          if (k % 4 == 0) {
            std::string blob(40, static_cast<char>(k));
            s.SetValue(key, "Blob", REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()), 40);
          } else {
            DWORD v = static_cast<DWORD>(k);
            s.SetValue(key, "Count", REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
          }
          s.CloseKey(key);
          items += 3;
        }
        s.CloseKey(group);
      }
      s.CloseKey(root);
      return ERROR_SUCCESS;
    });
  }

  std::string dir_;
  std::shared_ptr<RegistryService> service_;
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

void Report(benchmark::State& state, int64_t items) {
  state.counters["items"] = static_cast<double>(items);
  state.counters["per_item"] = benchmark::Counter(
      static_cast<double>(items) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ExportRegFile(benchmark::State& state) {
  Fixture& data = Data();
  RegFileExporter exporter(data.Service());
  std::string path = data.Dir() + "/export.reg";
  for (auto _ : state) {
    Status status = exporter.ExportFile(kRoot, path);
    if (!status.ok()) state.SkipWithError(status.ToString().c_str());
  }
  state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
  Report(state, exporter.keys() + exporter.values());
}

// The reads an export makes (keys depth first, values, sub-key names), and
// nothing else.
int64_t Walk(RegistryService& s, HKEY key) {
  int64_t items = 1;
  std::string name, data;
  DWORD type = 0;
  for (DWORD i = 0; s.EnumValueBytes(key, i, &name, &type, &data) == ERROR_SUCCESS; ++i) {
    benchmark::DoNotOptimize(data);
    ++items;
  }
  char buffer[1025];
  std::vector<std::string> children;
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof buffer;
    if (s.EnumKey(key, i, buffer, &size) != ERROR_SUCCESS) break;
    children.emplace_back(buffer, size);
  }
  for (const std::string& child : children) {
    HKEY sub = 0;
    if (s.OpenKey(key, child.c_str(), &sub) != ERROR_SUCCESS) continue;
    items += Walk(s, sub);
    s.CloseKey(sub);
  }
  return items;
}

void BM_RawEnumeration(benchmark::State& state) {
  Fixture& data = Data();
  int64_t items = 0;
  for (auto _ : state) {
    HKEY root = 0;
    data.Service().OpenKey(HKEY_CURRENT_USER, "Software\\Bench", &root);
    items = Walk(data.Service(), root);
    data.Service().CloseKey(root);
  }
  Report(state, items);
}

void BM_ImportRegFile(benchmark::State& state) {
  Fixture& data = Data();
  std::string file = data.Dir() + "/export.reg";
  if (!std::filesystem::exists(file)) RegFileExporter(data.Service()).ExportFile(kRoot, file);
  int64_t items = 0;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::shared_ptr<RegistryService> fresh;
    Status opened = RegistryService::Open(
        data.Dir() + "/import-" + std::to_string(round++) + ".sqlite", "", &fresh);
    if (!opened.ok()) state.SkipWithError(opened.ToString().c_str());
    RegFileImporter importer(*fresh);
    state.ResumeTiming();
    Status status = importer.ImportFile(file);
    if (!status.ok()) state.SkipWithError(status.ToString().c_str());
    items = importer.keys() + importer.values();
  }
  Report(state, items);
}

BENCHMARK(BM_RawEnumeration)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportRegFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportRegFile)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
