// Throughput of the registry object against raw service loops doing the same
// calls, on a temporary store.
//
//   bench_reglib                          all of it (the 100k fixture takes a while)
//   bench_reglib --benchmark_filter=Enum  only the enumerations
//
// Compare BM_EnumKeysLibrary/N with BM_EnumKeysRaw/N, and BM_EnumValuesLibrary
// with BM_EnumValuesRaw: the "per_item" counter is the time per sub-key or
// value.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "bench/bench_store.h"
#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "reglib/qvr_cls_keys.h"
#include "reglib/qvr_cls_registry_object.h"
#include "reglib/qvr_cls_values.h"

namespace qvr {
namespace {

bench::TemporaryStore& Store() {
  static bench::TemporaryStore store("reglib");
  return store;
}

using bench::CreateKey;

// A key with `count` sub-keys, every tenth of them with one sub-key of its
// own, built once per size.
HKEY KeyWithSubKeys(int count) {
  static std::map<int, HKEY> built;
  auto found = built.find(count);
  if (found != built.end()) return found->second;
  Store();
  HKEY parent = CreateKey(HKEY_CURRENT_USER, "Software\\Bench\\Keys" + std::to_string(count));
  // One transaction: a commit per key would spend minutes waiting for the disk.
  CurrentRegistryService()->Transact(parent, [&] {
    for (int i = 0; i < count; ++i) {
      HKEY child = CreateKey(parent, "Key" + std::to_string(1000000 + i));
      if (i % 10 == 0) RegCloseKey(CreateKey(child, "Inner"));
      RegCloseKey(child);
    }
    return ERROR_SUCCESS;
  });
  return built[count] = parent;
}

// A key with `count` values of mixed types.
HKEY KeyWithValues(int count) {
  static std::map<int, HKEY> built;
  auto found = built.find(count);
  if (found != built.end()) return found->second;
  Store();
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Bench\\Values" + std::to_string(count));
  CurrentRegistryService()->Transact(key, [&] {
    for (int i = 0; i < count; ++i) {
      std::string name = "Value" + std::to_string(i);
      if (i % 2 == 0) {
        std::string text = "some text " + std::to_string(i);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
      } else {
        DWORD number = static_cast<DWORD>(i);
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
      }
    }
    return ERROR_SUCCESS;
  });
  return built[count] = key;
}

void PerItem(benchmark::State& state, int64_t items) {
  state.SetItemsProcessed(state.iterations() * items);
  state.counters["per_item"] =
      benchmark::Counter(static_cast<double>(items), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

class CountingSink : public qvrClsRegistryObjectEvents {
 public:
  void KeyEnumerated(const std::string& RegKey, bool HasChildren) override {
    benchmark::DoNotOptimize(RegKey.data());
    children += HasChildren;
  }
  void ValueEnumerated(const std::shared_ptr<qvrClsValue>& Value) override {
    benchmark::DoNotOptimize(Value.get());
    ++values;
  }
  int64_t children = 0;
  int64_t values = 0;
};

void BM_OpenSetGet(benchmark::State& state) {
  Store();
  auto reg = qvrClsRegistryObject::Create();
  int32_t i = 0;
  for (auto _ : state) {
    HKEY key = reg->OpenKey(HKeyCurrentUser, "Software\\Bench\\RoundTrip" + std::to_string(i % 64));
    reg->SetValue(key, "Number", Variant(int32_t{1000 + i}));
    benchmark::DoNotOptimize(reg->GetValue(key, "Number"));
    reg->CloseKey(Variant(key));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenSetGet);

void BM_EnumKeysLibrary(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  HKEY parent = KeyWithSubKeys(count);
  auto reg = qvrClsRegistryObject::Create();
  auto sink = std::make_shared<CountingSink>();
  reg->Advise(sink);
  for (auto _ : state) {
    auto keys = reg->EnumKeys(parent, true);
    if (!keys || keys->Count() != count) state.SkipWithError("wrong number of sub-keys");
  }
  PerItem(state, count);
}
BENCHMARK(BM_EnumKeysLibrary)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_EnumKeysRaw(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  HKEY parent = KeyWithSubKeys(count);
  char name[1025];
  char inner[1025];
  int64_t children = 0;
  for (auto _ : state) {
    int found = 0;
    for (DWORD index = 0;; ++index) {
      DWORD length = 1024;
      if (RegEnumKeyExA(parent, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        break;
      }
      HKEY probe = 0;
      if (RegOpenKeyExA(parent, name, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
        DWORD inner_length = 1024;
        children +=
            RegEnumKeyExA(probe, 0, inner, &inner_length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(probe);
      }
      ++found;
    }
    if (found != count) state.SkipWithError("wrong number of sub-keys");
  }
  benchmark::DoNotOptimize(children);
  PerItem(state, count);
}
BENCHMARK(BM_EnumKeysRaw)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_EnumValuesLibrary(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  HKEY key = KeyWithValues(count);
  auto reg = qvrClsRegistryObject::Create();
  auto sink = std::make_shared<CountingSink>();
  reg->Advise(sink);
  for (auto _ : state) {
    auto values = reg->EnumValues(key, true);
    // The default value comes first, then every named one.
    if (values->Count() != count + 1) state.SkipWithError("wrong number of values");
  }
  PerItem(state, count);
}
BENCHMARK(BM_EnumValuesLibrary)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_EnumValuesRaw(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  HKEY key = KeyWithValues(count);
  char name[1025];
  BYTE data[512];
  for (auto _ : state) {
    int found = 0;
    for (DWORD index = 0;; ++index) {
      DWORD length = 1024;
      DWORD type = 0;
      if (RegEnumValueA(key, index, name, &length, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
      DWORD size = sizeof data;
      RegQueryValueExA(key, name, nullptr, &type, data, &size);
      benchmark::DoNotOptimize(data);
      ++found;
    }
    if (found != count) state.SkipWithError("wrong number of values");
  }
  PerItem(state, count);
}
BENCHMARK(BM_EnumValuesRaw)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
