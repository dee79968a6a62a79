// The toolkit model's tree under the load of a large registry key: adding
// 100k children (each with a placeholder child, as lazily filled keys have),
// reading them back by key and position, and removing them first to last.
// Also reports the memory the filled tree takes.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>

#include "toolkit/toolkit.h"

namespace {

using qvr::Variant;
using namespace qvr::toolkit;

constexpr int kChildren = 100000;

std::string ChildKey(int i) { return "_&H80000000\\CLSID\\{" + std::to_string(1000000 + i) + "}"; }

void Fill(Nodes& nodes) {
  nodes.Add(Variant(), tvwFirst, "_&H80000000\\CLSID", "CLSID", "REGKEY", "KEYOPEN");
  for (int i = 0; i < kChildren; ++i) {
    std::string key = ChildKey(i);
    nodes.Add("_&H80000000\\CLSID", tvwChild, key, "{" + std::to_string(1000000 + i) + "}",
              "REGKEY", "KEYOPEN");
    nodes.Add(key, tvwChild, "DUMMY" + key, "");
  }
}

// Heap bytes in use (glibc).
double HeapBytes() { return static_cast<double>(mallinfo2().uordblks); }

void BM_AddChildrenWithPlaceholders(benchmark::State& state) {
  for (auto _ : state) {
    TreeView tree;
    double before = HeapBytes();
    Fill(tree.Nodes());
    state.counters["tree_MiB"] = (HeapBytes() - before) / (1024.0 * 1024.0);
    state.PauseTiming();
    tree.Nodes().Clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kChildren * 2);
}
BENCHMARK(BM_AddChildrenWithPlaceholders)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LookUpByKeyAndPosition(benchmark::State& state) {
  TreeView tree;
  Fill(tree.Nodes());
  Nodes& nodes = tree.Nodes();
  int64_t sum = 0;
  for (auto _ : state) {
    for (int i = 0; i < kChildren; i += 7) {
      sum += nodes.Item(ChildKey(i))->Index();
      sum += nodes.Item(2 * i + 2)->Children();
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * (kChildren / 7) * 2);
}
BENCHMARK(BM_LookUpByKeyAndPosition)->Unit(benchmark::kMillisecond);

void BM_RemoveChildrenFirstToLast(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TreeView tree;
    Fill(tree.Nodes());
    NodePtr parent = tree.Nodes().Item(1);
    state.ResumeTiming();
    while (NodePtr child = parent->Child()) tree.Nodes().Remove(child);
    state.PauseTiming();
    tree.Nodes().Clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_RemoveChildrenFirstToLast)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
