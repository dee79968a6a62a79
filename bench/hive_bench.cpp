// Hive files mounted into the registry, on a temporary store. Two hives are
// laid out by WriteHive (as `qvr-reg save` writes them):
//   mixed   ~10,000 keys at depth 6 to 10 with Wine-like names, ~25,000
//           values of every common type
//   wide    a key "Keys" of 60,000 sub-keys (every tenth with one of its own)
//
//   BM_Mount/<hive>            LoadKey and the first open of the mounted key;
//                              s_per_MB: the same time per MB of hive file
//   BM_ExportMounted/<hive>    a .reg file of the whole mounted hive
//   BM_Reglookup/<hive>        `reglookup FILE > /dev/null`, a program of its
//                              own reading the same file (skipped without it)
//   BM_ExpandMounted           the control opening "Keys" of the mounted wide
//   BM_ExpandStore             ... and the same key restored into the store
//
//   bench_hive_bench --benchmark_repetitions=3
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_store.h"
#include "control/ctl_registry.h"
#include "regfile/reg_file_exporter.h"
#include "registry/regf_writer.h"
#include "registry/registry_api.h"
#include "registry/registry_service.h"
#include "toolkit/toolkit.h"

extern char** environ;

namespace qvr {
namespace {

constexpr int kWideKeys = 60000;

bench::TemporaryStore& Store() {
  static bench::TemporaryStore store("hive");
  return store;
}

std::string Folder() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/qvr-hive-files-XXXXXX";
    return std::string(mkdtemp(pattern.data()));
  }();
  return folder;
}

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += {c, '\0'};
  return out + std::string(2, '\0');
}

std::string Le(uint64_t n, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(n >> (8 * i));
  return out;
}

// A tree being built: children by name, so a path is found in log time.
struct Node {
  std::map<std::string, Node> children;
  std::vector<HiveValue> values;
};

HiveKey Named(std::string name) {
  HiveKey key;
  key.name = std::move(name);
  return key;
}

HiveKey ToHiveKey(const std::string& name, Node& node) {
  HiveKey key = Named(name);
  key.values = std::move(node.values);
  for (auto& [child_name, child] : node.children) key.children.push_back(ToHiveKey(child_name, child));
  return key;
}

// Values a Wine prefix holds: paths, numbers, flags, lists, blobs.
void AddValues(Node* key, uint32_t n) {
  const char* kNames[] = {"", "InstallLocation", "Version", "Flags", "Path", "Data", "Order"};
  for (uint32_t v = 0; v < 2 + n % 2 + (n % 7 == 0); ++v) {
    HiveValue value;
    value.name = kNames[(n + v) % 7];
    if (value.name.empty() && v > 0) value.name = "Value" + std::to_string(v);
    switch ((n + v) % 6) {
      case 0: value.type = REG_SZ; value.data = Utf16("C:\\windows\\system32\\lib" + std::to_string(n) + ".dll"); break;
      case 1: value.type = REG_DWORD; value.data = Le(n * 2654435761u, 4); break;
      case 2: value.type = REG_BINARY; value.data = std::string(16 + n % 48, static_cast<char>(n)); break;
      case 3: value.type = REG_EXPAND_SZ; value.data = Utf16("%SystemRoot%\\Fonts\\f" + std::to_string(n) + ".ttf"); break;
      case 4: value.type = REG_MULTI_SZ; value.data = Utf16("one") + Utf16("two") + std::string(2, '\0'); break;
      default: value.type = REG_QWORD; value.data = Le(n * 0x9E3779B97F4A7C15ull, 8); break;
    }
    // A key's values have distinct names; drop a repeat.
    bool repeated = false;
    for (const HiveValue& other : key->values) repeated |= other.name == value.name;
    if (!repeated) key->values.push_back(std::move(value));
  }
}

// ~10,000 keys and ~25,000 values along paths like Software\Wine\Drivers\... and
// Classes\CLSID\{...}\InprocServer32\..., depth 6 to 10.
HiveKey MixedTree(int* keys, int* values) {
  const char* kTop[] = {"Software", "Classes", "System", "Wine"};
  const char* kMiddle[] = {"Microsoft", "Wine", "Windows", "CurrentVersion", "Explorer",
                           "Shell Folders", "Fonts", "Drivers", "Direct3D", "DirectX"};
  const char* kLeaf[] = {"InprocServer32", "DefaultIcon", "shell", "open", "command", "Settings"};
  Node root;
  *keys = 1;
  *values = 0;
  for (uint32_t n = 0; *keys < 10000; ++n) {
    char clsid[48];
    std::snprintf(clsid, sizeof clsid, "{%08X-0000-0000-C000-%012X}", n / 6 % 4096, n % 97);
    std::vector<std::string> path = {kTop[n % 4], kMiddle[(n / 4) % 10], kMiddle[(n / 40) % 10],
                                     clsid};
    for (uint32_t d = 0; d < 2 + n % 5; ++d) path.push_back(kLeaf[(n + d) % 6]);
    // Every key made gets its values, so each holds two or three.
    Node* key = &root;
    for (size_t depth = 0; depth < path.size(); ++depth) {
      auto [it, made] = key->children.try_emplace(path[depth]);
      key = &it->second;
      if (!made) continue;
      ++*keys;
      AddValues(key, n + static_cast<uint32_t>(depth));
      *values += static_cast<int>(key->values.size());
    }
  }
  return ToHiveKey("ROOT", root);
}

HiveKey WideTree() {
  HiveKey root = Named("ROOT");
  root.children.push_back(Named("Keys"));
  std::vector<HiveKey>& keys = root.children.back().children;
  keys.reserve(kWideKeys);
  for (int i = 0; i < kWideKeys; ++i) {
    keys.push_back(Named("Key" + std::to_string(1000000 + i)));
    if (i % 10 == 0) keys.back().children.push_back(Named("Inner"));
  }
  return root;
}

struct HiveFile {
  std::string path;
  double mb = 0;
};

const HiveFile& Hive(int which) {
  static std::map<int, HiveFile> files;
  auto it = files.find(which);
  if (it != files.end()) return it->second;
  Store();
  int keys = kWideKeys + kWideKeys / 10 + 2, values = 0;
  HiveKey root = which == 0 ? MixedTree(&keys, &values) : WideTree();
  std::string image;
  if (!WriteHive(root, &image).ok()) std::abort();
  HiveFile file{Folder() + (which == 0 ? "/mixed.hiv" : "/wide.hiv"), image.size() / 1e6};
  std::ofstream(file.path, std::ios::binary) << image;
  std::fprintf(stderr, "%s: %d keys, %d values, %.2f MB\n", file.path.c_str(), keys, values, file.mb);
  return files[which] = file;
}

const char* kNames[] = {"mixed", "wide"};

void BM_Mount(benchmark::State& state) {
  const HiveFile& file = Hive(static_cast<int>(state.range(0)));
  state.SetLabel(kNames[state.range(0)]);
  auto service = CurrentRegistryService();
  for (auto _ : state) {
    if (!service->LoadKey(HKEY_LOCAL_MACHINE, "Mounted", file.path.c_str()).ok()) {
      state.SkipWithError("LoadKey failed");
      break;
    }
    HKEY key = 0;
    char first[256];
    DWORD size = sizeof first;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Mounted", 0, KEY_READ, &key);
    LONG rc = RegEnumKeyExA(key, 0, first, &size, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    state.PauseTiming();
    if (rc != ERROR_SUCCESS) state.SkipWithError("the mounted key shows no sub-key");
    service->UnloadKey(HKEY_LOCAL_MACHINE, "Mounted");
    state.ResumeTiming();
  }
  state.counters["s_per_MB"] = benchmark::Counter(
      file.mb, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Mount)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportMounted(benchmark::State& state) {
  const HiveFile& file = Hive(static_cast<int>(state.range(0)));
  state.SetLabel(kNames[state.range(0)]);
  auto service = CurrentRegistryService();
  if (!service->LoadKey(HKEY_LOCAL_MACHINE, "Mounted", file.path.c_str()).ok()) {
    state.SkipWithError("LoadKey failed");
    return;
  }
  RegFileExporter exporter(*service);
  for (auto _ : state) {
    Status status = exporter.ExportFile("HKLM\\Mounted", Folder() + "/out.reg",
                                        RegFileWriter::Dialect::kRegedit5);
    if (!status.ok()) state.SkipWithError(status.ToString().c_str());
  }
  service->UnloadKey(HKEY_LOCAL_MACHINE, "Mounted");
}
BENCHMARK(BM_ExportMounted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

void BM_Reglookup(benchmark::State& state) {
  const HiveFile& file = Hive(static_cast<int>(state.range(0)));
  state.SetLabel(kNames[state.range(0)]);
  const std::string program = FindProgram("reglookup");
  if (program.empty()) {
    state.SkipWithError("reglookup is not installed");
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv = {const_cast<char*>(program.c_str()),
                             const_cast<char*>(file.path.c_str()), nullptr};
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("reglookup failed");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_Reglookup)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The control opening `key` (a node key) after its parents; 60,000 children.
void Expand(benchmark::State& state, const std::string& parent, const std::string& key) {
  toolkit::ManualEventLoop loop;
  toolkit::RecordingMessageService messages;
  ctlRegistry control{loop, messages};
  auto node = [&](const std::string& k) { return control.tvReg().Nodes().Find(k); };
  for (auto _ : state) {
    state.PauseTiming();
    control.Show();
    for (size_t p = parent.find('\\');; p = parent.find('\\', p + 1)) {
      toolkit::NodePtr n = node(parent.substr(0, p));
      if (n && !n->Expanded() && n->Children() > 0) control.tvReg().UserExpand(n);
      if (p == std::string::npos) break;
    }
    toolkit::NodePtr keys = node(key);
    if (!keys) {
      state.SkipWithError(("no node " + key).c_str());
      break;
    }
    state.ResumeTiming();
    control.tvReg().UserExpand(keys);
    state.PauseTiming();
    if (keys->Children() != kWideKeys) state.SkipWithError("not every sub-key was added");
    state.ResumeTiming();
  }
}

void BM_ExpandMounted(benchmark::State& state) {
  auto service = CurrentRegistryService();
  if (!service->LoadKey(HKEY_LOCAL_MACHINE, "Wide", Hive(1).path.c_str()).ok()) {
    state.SkipWithError("LoadKey failed");
    return;
  }
  Expand(state, "_&H80000002\\WIDE", "_&H80000002\\WIDE\\KEYS");
  service->UnloadKey(HKEY_LOCAL_MACHINE, "Wide");
}
BENCHMARK(BM_ExpandMounted)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ExpandStore(benchmark::State& state) {
  static bool restored = false;
  if (!restored) {
    HKEY key = bench::CreateKey(HKEY_CURRENT_USER, "Software\\Wide");
    restored = CurrentRegistryService()->RestoreKey(key, Hive(1).path.c_str()).ok();
    RegCloseKey(key);
  }
  if (!restored) {
    state.SkipWithError("RestoreKey failed");
    return;
  }
  Expand(state, "_&H80000001\\SOFTWARE\\WIDE", "_&H80000001\\SOFTWARE\\WIDE\\KEYS");
}
BENCHMARK(BM_ExpandStore)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
