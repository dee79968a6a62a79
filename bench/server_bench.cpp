// The cost of the late-bound interface: the same registry object members
// called directly and through Dispatch::Invoke (ids looked up once, as
// clients cache them), on a temporary store.
//
//   bench_server_bench
//
// Compare BM_CountDirect with BM_CountLateBound (pure call overhead), and
// BM_EnumValuesDirect/N with BM_EnumValuesLateBound/N (an enumeration of N
// values with an event per value delivered to a sink through the connection
// point); "per_item" is the time per value.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "bench/bench_store.h"
#include "registry/registry_api.h"
#include "dispatch/function_sink.h"
#include "dispatch/late_bound.h"
#include "reglib/qvr_cls_registry_object.h"
#include "reglib/qvr_cls_values.h"
#include "server/catalog.h"
#include "server/identifiers.h"

namespace qvr {
namespace {

bench::TemporaryStore store("server");

ComPtr<Dispatch> NewLateBound() {
  Unknown* made = server::Catalog::Get().Create(server_ids::kRegistryObjectClass);
  made->AddRef();
  ComPtr<Unknown> keep = ComPtr<Unknown>::Adopt(made);
  return keep.As<Dispatch>(IID_IDispatch);
}

// A key with `n` string values, made once per size. The handle is the
// service's own (no registry object owns it), so it outlives every object.
HKEY ValuesKey(int n) {
  std::string path = "Software\\ServerBench\\V" + std::to_string(n);
  HKEY h = 0;
  DWORD disposition = 0;
  RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                  &disposition);
  if (disposition == REG_CREATED_NEW_KEY) {
    for (int i = 0; i < n; ++i) {
      std::string name = "value" + std::to_string(i);
      RegSetValueExA(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("data"), 5);
    }
  }
  return h;
}

void BM_CountDirect(benchmark::State& state) {
  auto reg = qvrClsRegistryObject::Create();
  for (auto _ : state) benchmark::DoNotOptimize(reg->Count());
}
BENCHMARK(BM_CountDirect);

void BM_CountLateBound(benchmark::State& state) {
  ComPtr<Dispatch> reg = NewLateBound();
  DispId id = LateBound(reg).IdOf("Count");
  for (auto _ : state) {
    DispParams params;
    Variant result;
    reg->Invoke(id, DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_CountLateBound);

void BM_EnumValuesDirect(benchmark::State& state) {
  HKEY h = ValuesKey(static_cast<int>(state.range(0)));
  auto reg = qvrClsRegistryObject::Create();
  struct Sink : qvrClsRegistryObjectEvents {
    int64_t seen = 0;
    void ValueEnumerated(const std::shared_ptr<qvrClsValue>&) override { ++seen; }
  };
  auto sink = std::make_shared<Sink>();
  reg->Advise(sink);
  for (auto _ : state) benchmark::DoNotOptimize(reg->EnumValues(h, true));
  state.counters["per_item"] = benchmark::Counter(
      static_cast<double>(sink->seen), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EnumValuesDirect)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_EnumValuesLateBound(benchmark::State& state) {
  HKEY h = ValuesKey(static_cast<int>(state.range(0)));
  ComPtr<Dispatch> reg = NewLateBound();
  int64_t seen = 0;
  ComPtr<FunctionSink> sink(new FunctionSink());
  sink->On(2, [&](std::vector<Variant>&) { ++seen; });
  ConnectEvents(reg.Get(), server_ids::kRegistryObjectEvents, sink.Get());
  DispId id = LateBound(reg).IdOf("EnumValues");
  for (auto _ : state) {
    DispParams params{{Variant(h), Variant(true)}, {}};
    Variant result;
    reg->Invoke(id, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    benchmark::DoNotOptimize(result);
  }
  state.counters["per_item"] = benchmark::Counter(
      static_cast<double>(seen), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EnumValuesLateBound)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
