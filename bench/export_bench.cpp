// Reading a whole tree: .reg export and `qvr-reg query /s` against Debian's
// reglookup dumping the same data from a hive file.
//
//   bench_export_bench [--benchmark_filter=...]
//
// The data is made to look like a Wine prefix's HKEY_LOCAL_MACHINE: about
// 10,000 keys down to 10 levels (GUIDs, numbered instance keys, words in
// mixed letter case) and 25,000 values of every common type. It goes into a
// temporary store under HKLM\Wine, and into a hive file (WriteHive) of the
// same keys and values for reglookup.
//
// BM_ExportKeyByKey    the export as it was made before the store walk: a
//                      registry call per key, per sub-key listed, per value
// BM_ExportOnePass     RegFileExporter::Export (one walk of the store), into
//                      the same writer and sink as the one above
// BM_ExportFile        RegFileExporter::ExportFile, the whole `qvr-reg export`
//                      (temporary file, fsync, rename)
// BM_QueryTree         the program `qvr-reg query HKLM\Wine /s` > /dev/null
// BM_Reglookup         the program `reglookup -H HIVE` > /dev/null
//
// Every figure is wall time. At the end the ratios of one run are printed.
// QVR_BENCH_QVR_REG names another qvr-reg program to time (an older build);
// QVR_BENCH_HIVE another hive file for reglookup.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/unicode.h"
#include "regfile/reg_file_exporter.h"
#include "regfile/reg_file_writer.h"
#include "registry/regf_writer.h"
#include "registry/registry_service.h"

extern char** environ;

namespace qvr {
namespace {

constexpr int kKeys = 10000;
constexpr int kMaxDepth = 10;  // below HKLM\Wine
constexpr const char* kTop = "HKLM\\Wine";

std::string Utf16z(std::string_view utf8) {
  std::string bytes = Utf16ToLeBytes(Utf8ToUtf16(utf8));
  return bytes + std::string(2, '\0');
}

// A tree like a Wine HKLM, the same for every run (a fixed seed).
class WineLikeTree {
 public:
  WineLikeTree() {
    nodes_.emplace_back(-1, 0, "Wine");
    std::mt19937 rng(20261207);
    while (static_cast<int>(nodes_.size()) < kKeys) AddKey(rng);
    root_ = Build(0);
  }
  const HiveKey& root() const { return root_; }
  int64_t items() const { return static_cast<int64_t>(nodes_.size()) + values_; }

  // Every key and value into `service` below `top`, in one transaction.
  LONG Store(RegistryService& service, HKEY top) const {
    return service.Transact(top, [&] { return StoreKey(service, top, root_); });
  }

 private:
  struct Node {
    Node(int p, int d, std::string n) : parent(p), depth(d), name(std::move(n)) {}
    int parent;
    int depth;
    std::string name;
    std::vector<HiveValue> values;
    std::vector<int> children;
    std::set<std::string> folded_children;  // names taken, without regard to case
  };

  static std::string Pick(std::mt19937& rng, const std::vector<std::string>& words) {
    return words[rng() % words.size()];
  }
  static std::string Guid(std::mt19937& rng) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%04X%08X}", unsigned(rng()),
                  unsigned(rng() & 0xFFFF), unsigned(rng() & 0xFFFF), unsigned(rng() & 0xFFFF),
                  unsigned(rng() & 0xFFFF), unsigned(rng()));
    return text;
  }
  static std::string KeyName(std::mt19937& rng) {
    static const std::vector<std::string> words = {
        "Microsoft", "Windows", "CurrentVersion", "Explorer", "Shell Extensions", "Approved",
        "Classes", "Interface", "TypeLib", "ProxyStubClsid32", "InprocServer32", "Services",
        "Parameters", "Enum", "Control", "Class", "Properties", "DefaultIcon", "shellex",
        "Software", "Fonts", "Drivers32", "Winsock2", "Protocol_Catalog9", "Catalog_Entries",
        "Time Zones", "Nls", "CodePage", "Language", "Print", "Monitors", "Uninstall",
        "Wine", "Direct3D", "MSXML2.DOMDocument.6.0", "Internet Settings", "Zones", "Lockdown"};
    switch (rng() % 6) {
      case 0: return Guid(rng);
      case 1: {
        char number[16];
        std::snprintf(number, sizeof number, "%04u", unsigned(rng() % 200));
        return number;
      }
      case 2: return "." + Pick(rng, {"txt", "dll", "exe", "htm", "xml", "lnk", "msi", "ini"});
      default: return Pick(rng, words) + (rng() % 3 ? "" : " " + std::to_string(rng() % 50));
    }
  }
  // A parent among the first keys (wide keys such as Classes), anywhere, or
  // among the keys made last (chains that go deep): keys lie 6 levels deep
  // on average, up to kMaxDepth, and the widest have about a hundred sub-keys.
  int PickParent(std::mt19937& rng) const {
    for (;;) {
      const size_t n = nodes_.size();
      const unsigned r = rng() % 10;
      const size_t i = r < 2   ? rng() % std::min<size_t>(n, 30)
                       : r < 6 ? rng() % n
                               : n - 1 - rng() % std::min<size_t>(n, 40);
      if (nodes_[i].depth < kMaxDepth) return static_cast<int>(i);
    }
  }
  void AddKey(std::mt19937& rng) {
    const int parent = PickParent(rng);
    std::string name = KeyName(rng);
    if (!nodes_[parent].folded_children.insert(FoldCase(name)).second) return;
    nodes_[parent].children.push_back(static_cast<int>(nodes_.size()));
    nodes_.emplace_back(parent, nodes_[parent].depth + 1, std::move(name));
    AddValues(rng, &nodes_.back().values);
  }
  void AddValues(std::mt19937& rng, std::vector<HiveValue>* values) {
    static const std::vector<std::string> names = {
        "DisplayName", "ImagePath", "Start", "Type", "ErrorControl", "ThreadingModel",
        "Version", "Content Type", "PerceivedType", "Flags", "Description", "InstallDate",
        "Path", "FriendlyName", "Driver", "Group", "DependOnService", "ObjectName", "Data"};
    std::set<std::string> taken;
    for (int n = static_cast<int>(rng() % 6); n > 0; --n) {
      HiveValue v;
      v.name = rng() % 8 == 0 ? "" : Pick(rng, names);
      if (!taken.insert(FoldCase(v.name)).second) continue;
      std::string path = "C:\\windows\\system32\\" + Pick(rng, names) +
                         std::to_string(rng() % 999) + ".dll";
      switch (unsigned r = rng() % 20) {
        case 0: case 1: v.type = REG_BINARY; v.data.assign(8 + rng() % 120, char(r)); break;
        case 2: v.type = REG_EXPAND_SZ; v.data = Utf16z("%SystemRoot%\\" + path.substr(3)); break;
        case 3: v.type = REG_MULTI_SZ; v.data = Utf16z(path) + Utf16z("Tcpip") + Utf16z(""); break;
        case 4: v.type = REG_QWORD; v.data = std::string("\x01\x23\x45\x67\x89\xAB\xCD\xEF", 8); break;
        case 5: case 6: case 7: case 8: case 9:
          v.type = REG_DWORD;
          v.data = std::string("\x02\x00\x00\x00", 4);
          break;
        default: v.type = REG_SZ; v.data = Utf16z(path); break;
      }
      values->push_back(std::move(v));
      ++values_;
    }
  }
  HiveKey Build(int i) const {
    HiveKey key;
    key.name = nodes_[i].name;
    key.values = nodes_[i].values;
    for (int child : nodes_[i].children) key.children.push_back(Build(child));
    return key;
  }
  static LONG StoreKey(RegistryService& service, HKEY key, const HiveKey& from) {
    for (const HiveValue& v : from.values) {
      if (LONG rc = service.SetValueBytes(key, v.name.c_str(), v.type, v.data)) return rc;
    }
    for (const HiveKey& child : from.children) {
      HKEY sub = 0;
      LONG rc = service.CreateKey(key, child.name.c_str(), KEY_ALL_ACCESS, &sub, nullptr);
      if (rc == ERROR_SUCCESS) rc = StoreKey(service, sub, child);
      service.CloseKey(sub);
      if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
  }

  std::vector<Node> nodes_;
  HiveKey root_;
  int64_t values_ = 0;
};

class Fixture {
 public:
  Fixture() {
    char pattern[] = "/tmp/qvr-export-bench-XXXXXX";
    dir_ = mkdtemp(pattern);
    Status opened = RegistryService::Open(Store(), dir_ + "/machines", &service_);
    HKEY top = 0;
    LONG rc = opened.ok() ? service_->CreateKey(HKEY_LOCAL_MACHINE, "Wine", KEY_ALL_ACCESS, &top,
                                                nullptr)
                          : opened.code();
    if (rc == ERROR_SUCCESS) rc = tree_.Store(*service_, top);
    service_->CloseKey(top);
    if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot fill the store: " + std::to_string(rc));
    std::string image;
    Status written = WriteHive(tree_.root(), &image);
    if (!written.ok()) throw std::runtime_error(written.ToString());
    std::ofstream(dir_ + "/wine.hive", std::ios::binary) << image;
  }
  ~Fixture() {
    service_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  RegistryService& Service() { return *service_; }
  std::string Store() const { return dir_ + "/local.sqlite"; }
  std::string Hive() const {
    const char* other = std::getenv("QVR_BENCH_HIVE");
    return other && *other ? other : dir_ + "/wine.hive";
  }
  const std::string& Dir() const { return dir_; }
  int64_t items() const { return tree_.items(); }

 private:
  std::string dir_;
  WineLikeTree tree_;
  std::shared_ptr<RegistryService> service_;
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

// The export before the store walk, kept here to measure against: each key
// opened from its parent, its values and sub-key names read a call at a time.
LONG ExportKeyByKey(RegistryService& s, HKEY start, std::string path, RegFileWriter& writer) {
  struct Level {
    HKEY key;
    size_t parent_length;
    std::vector<std::string> children;
    size_t next = 0;
  };
  auto visit = [&](HKEY key, Level* level) -> LONG {
    writer.Key(path);
    std::string name, data;
    DWORD type = 0;
    LONG rc;
    for (DWORD i = 0; (rc = s.EnumValueBytes(key, i, &name, &type, &data)) == 0; ++i) {
      writer.Value(name, type, data);
    }
    if (rc != ERROR_NO_MORE_ITEMS) return rc;
    char buffer[1025];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof buffer;
      if ((rc = s.EnumKey(key, i, buffer, &size)) != ERROR_SUCCESS) break;
      level->children.emplace_back(buffer, size);
    }
    return rc == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : rc;
  };
  std::vector<Level> stack(1, Level{start, path.size(), {}});
  LONG rc = visit(start, &stack[0]);
  while (rc == ERROR_SUCCESS && !stack.empty()) {
    Level& top = stack.back();
    if (top.next == top.children.size()) {
      path.resize(top.parent_length);
      if (stack.size() > 1) s.CloseKey(top.key);
      stack.pop_back();
      continue;
    }
    const std::string child = std::move(top.children[top.next++]);
    HKEY sub = 0;
    if ((rc = s.OpenKey(top.key, child.c_str(), &sub)) != ERROR_SUCCESS) break;
    stack.push_back(Level{sub, path.size(), {}});
    path += '\\';
    path += child;
    rc = visit(sub, &stack.back());
  }
  for (size_t i = 1; i < stack.size(); ++i) s.CloseKey(stack[i].key);
  return rc;
}

void Report(benchmark::State& state, int64_t items, int64_t bytes) {
  state.counters["items"] = static_cast<double>(items);
  if (bytes > 0) state.counters["out_MiB"] = static_cast<double>(bytes) / (1 << 20);
}

// A writer whose bytes are counted and dropped, as /dev/null would take them.
struct CountingWriter {
  RegFileWriter writer;
  int64_t bytes = 0;
  CountingWriter() {
    writer.StreamTo([this](std::string_view piece) {
      bytes += static_cast<int64_t>(piece.size());
      benchmark::DoNotOptimize(piece.data());
      return true;
    });
  }
};

void BM_ExportKeyByKey(benchmark::State& state) {
  Fixture& data = Data();
  int64_t bytes = 0;
  for (auto _ : state) {
    CountingWriter out;
    HKEY top = 0;
    LONG rc = data.Service().OpenKey(HKEY_LOCAL_MACHINE, "Wine", &top);
    if (rc == ERROR_SUCCESS) rc = ExportKeyByKey(data.Service(), top, "HKEY_LOCAL_MACHINE\\Wine", out.writer);
    data.Service().CloseKey(top);
    out.writer.Finish();
    if (rc != ERROR_SUCCESS) state.SkipWithError("the export failed");
    bytes = out.bytes;
  }
  Report(state, data.items(), bytes);
}

void BM_ExportOnePass(benchmark::State& state) {
  Fixture& data = Data();
  RegKeyPath key;
  std::string error;
  RegKeyPath::Parse(kTop, &key, &error);
  int64_t bytes = 0;
  for (auto _ : state) {
    CountingWriter out;
    Status status = RegFileExporter(data.Service()).Export(key, out.writer, [] { return true; });
    out.writer.Finish();
    if (!status.ok()) state.SkipWithError(status.ToString().c_str());
    bytes = out.bytes;
  }
  Report(state, data.items(), bytes);
}

void BM_ExportFile(benchmark::State& state) {
  Fixture& data = Data();
  const std::string path = data.Dir() + "/export.reg";
  for (auto _ : state) {
    Status status = RegFileExporter(data.Service()).ExportFile(kTop, path);
    if (!status.ok()) state.SkipWithError(status.ToString().c_str());
  }
  Report(state, data.items(), static_cast<int64_t>(std::filesystem::file_size(path)));
}

// Runs `argv` with its output to /dev/null and `env` added to the
// environment; false when it cannot be run or does not exit 0.
bool Run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> environment(env);
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  auto pointers = [](std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (auto& t : texts) out.push_back(t.data());
    out.push_back(nullptr);
    return out;
  };
  std::vector<std::string> args(argv);
  std::vector<char*> arg_pointers = pointers(args), env_pointers = pointers(environment);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, arg_pointers.data(),
                       env_pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return rc == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

void BM_QueryTree(benchmark::State& state) {
  Fixture& data = Data();
  const char* other = std::getenv("QVR_BENCH_QVR_REG");
  const std::string program = other && *other ? other : QVR_REG_PROGRAM;
  for (auto _ : state) {
    if (!Run({program, "query", kTop, "/s"},
             {"QVR_REGISTRY=" + data.Store(), "QVR_MACHINES=" + data.Dir() + "/machines"})) {
      state.SkipWithError(("cannot run " + program).c_str());
    }
  }
  Report(state, data.items(), 0);
}

void BM_Reglookup(benchmark::State& state) {
  Fixture& data = Data();
  for (auto _ : state) {
    if (!Run({"/usr/bin/reglookup", "-H", data.Hive()})) {
      state.SkipWithError("cannot run /usr/bin/reglookup");
    }
  }
  Report(state, data.items(), 0);
}

BENCHMARK(BM_ExportKeyByKey)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ExportOnePass)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ExportFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_QueryTree)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_Reglookup)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// The console output, and each benchmark's time per iteration kept for the
// ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal.
  RatioReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (!run.error_occurred && run.iterations > 0) {
        ms_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto ratio = [&](const char* what, const std::string& a, const std::string& b) {
      if (ms_.count(a) && ms_.count(b)) std::printf("%-24s %.2f\n", what, ms_[a] / ms_[b]);
    };
    std::printf("\nratios of this run (wall time):\n");
    ratio("one pass / key by key", "BM_ExportOnePass/min_time:2.000/real_time",
          "BM_ExportKeyByKey/min_time:2.000/real_time");
    ratio("export file / reglookup", "BM_ExportFile/min_time:2.000/real_time",
          "BM_Reglookup/min_time:2.000/real_time");
    ratio("query /s / reglookup", "BM_QueryTree/min_time:2.000/real_time",
          "BM_Reglookup/min_time:2.000/real_time");
  }

 private:
  std::map<std::string, double> ms_;
};

}  // namespace
}  // namespace qvr

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  qvr::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
