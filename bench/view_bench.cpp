// Opening a key of 100,000 sub-keys (every tenth with a sub-key of its own)
// in the window's tree view, on the offscreen platform, against the headless
// control doing the same, in one run, on a temporary store.
//
//   bench_view_bench
//
// Compare BM_ExpandInView with BM_ExpandHeadless: both time one person's
// expansion of the key (the view's includes announcing the rows to the
// QTreeView, its layout and a repaint).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_store.h"
#include "control/ctl_registry.h"
#include "registry/registry_api.h"
#include "toolkit/toolkit.h"
#include "qt/registry_browser_widget.h"

namespace {

using namespace qvr;

constexpr int kSubKeys = 100000;
const char kBigKey[] = "Software\\Bench\\Big";
// HKEY_CURRENT_USER's node keys on the way to the big key.
const char* const kPath[] = {"_&H80000001", "_&H80000001\\SOFTWARE", "_&H80000001\\SOFTWARE\\BENCH"};
const char kBigNode[] = "_&H80000001\\SOFTWARE\\BENCH\\BIG";

// The benchmark's store, with the big key in it.
class BigKeyStore {
 public:
  BigKeyStore() : store_("view") {
    HKEY parent = bench::CreateKey(HKEY_CURRENT_USER, kBigKey);
    for (int i = 0; i < kSubKeys; ++i) {
      HKEY child = bench::CreateKey(parent, "Key" + std::to_string(1000000 + i));
      if (i % 10 == 0) RegCloseKey(bench::CreateKey(child, "Inner"));
      RegCloseKey(child);
    }
    RegCloseKey(parent);
  }

 private:
  bench::TemporaryStore store_;
};

BigKeyStore& Store() {
  static BigKeyStore store;
  return store;
}

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_view";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Shows the local machine and opens the levels above the big key.
toolkit::NodePtr OpenAbove(ctlRegistry& control) {
  control.Show();
  for (const char* key : kPath) control.tvReg().UserExpand(control.tvReg().Nodes().Find(key));
  return control.tvReg().Nodes().Find(kBigNode);
}

void BM_ExpandHeadless(benchmark::State& state) {
  Store();
  toolkit::ManualEventLoop loop;
  toolkit::RecordingMessageService messages;
  ctlRegistry control(loop, messages);
  for (auto _ : state) {
    state.PauseTiming();
    toolkit::NodePtr big = OpenAbove(control);
    state.ResumeTiming();
    control.tvReg().UserExpand(big);
    state.PauseTiming();
    if (big->Children() != kSubKeys) state.SkipWithError("the key did not open");
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSubKeys);
}
BENCHMARK(BM_ExpandHeadless)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExpandInView(benchmark::State& state) {
  Store();
  App();
  toolkit::RecordingMessageService messages;
  view::RegistryBrowserWidget pane(nullptr, &messages);
  pane.resize(800, 600);
  pane.show();
  QCoreApplication::processEvents();
  ctlRegistry& control = pane.Control();
  view::TreeViewWidget& tree = pane.Tree();
  for (auto _ : state) {
    state.PauseTiming();
    toolkit::NodePtr big = OpenAbove(control);
    QCoreApplication::processEvents();
    QModelIndex index = tree.Model().IndexFor(big.get());
    state.ResumeTiming();
    tree.expand(index);  // as the expander or the keyboard does it
    QCoreApplication::processEvents();
    tree.viewport()->repaint();
    state.PauseTiming();
    if (tree.Model().rowCount(tree.Model().IndexFor(big.get())) != kSubKeys)
      state.SkipWithError("the view did not get every row");
    state.counters["batches"] = static_cast<double>(tree.Model().BatchesAnnounced());
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSubKeys);
}
BENCHMARK(BM_ExpandInView)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
