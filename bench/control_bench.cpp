// The browser control against raw loops doing the same work, on a temporary
// store:
//   BM_ExpandControl / BM_ExpandRaw        opening a key of 100,000 sub-keys
//                                          (tree_MiB: heap taken by its nodes)
//   BM_FillListControl / BM_FillListRaw    showing a key of 10,000 values
//   BM_ExportControl / BM_ExportPugixml    GetSelectedDOM of 10,000 ticked
//                                          values over 1,000 keys
//
//   bench_control_bench                    all of it (the fixtures take a while)
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <memory>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "control/ctl_registry.h"
#include "bench/bench_store.h"
#include "registry/registry_api.h"
#include "toolkit/toolkit.h"
#include "selection/internal/selection_access.h"

namespace qvr {
namespace {

constexpr int kSubKeys = 100000;
constexpr int kValues = 10000;
constexpr int kPickKeys = 1000;
constexpr int kPickValuesPerKey = 10;

bench::TemporaryStore& Store() {
  static bench::TemporaryStore store("control");
  return store;
}

using bench::CreateKey;

void SetText(HKEY key, const std::string& name, const std::string& text) {
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
}

// HKCU\Software\Bench\Keys: 100,000 sub-keys, every tenth with one of its own.
void BuildSubKeys() {
  static bool built = false;
  if (built) return;
  Store();
  HKEY parent = CreateKey(HKEY_CURRENT_USER, "Software\\Bench\\Keys");
  for (int i = 0; i < kSubKeys; ++i) {
    HKEY child = CreateKey(parent, "Key" + std::to_string(1000000 + i));
    if (i % 10 == 0) RegCloseKey(CreateKey(child, "Inner"));
    RegCloseKey(child);
  }
  RegCloseKey(parent);
  built = true;
}

// HKCU\Software\Bench\Values: 10,000 values, strings and DWORDs.
void BuildValues() {
  static bool built = false;
  if (built) return;
  Store();
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Bench\\Values");
  for (int i = 0; i < kValues; ++i) {
    const std::string name = "Value" + std::to_string(i);
    if (i % 2 == 0) {
      SetText(key, name, "text of value " + std::to_string(i));
    } else {
      DWORD d = static_cast<DWORD>(i);
      RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), 4);
    }
  }
  RegCloseKey(key);
  built = true;
}

// HKCU\Software\Pick\K0000..K0999, each with 10 string values.
void BuildPick() {
  static bool built = false;
  if (built) return;
  Store();
  for (int k = 0; k < kPickKeys; ++k) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Pick\\K" + std::to_string(1000 + k));
    for (int v = 0; v < kPickValuesPerKey; ++v) {
      SetText(key, "V" + std::to_string(v), "data " + std::to_string(v));
    }
    RegCloseKey(key);
  }
  built = true;
}

// A shown control, with helpers to open and click by node key.
struct Browser {
  toolkit::ManualEventLoop loop;
  toolkit::RecordingMessageService messages;
  ctlRegistry control{loop, messages};

  toolkit::NodePtr Node(const std::string& key) { return control.tvReg().Nodes().Find(key); }
  void OpenPath(const std::string& key) {
    for (size_t p = key.find('\\');; p = key.find('\\', p + 1)) {
      toolkit::NodePtr n = Node(key.substr(0, p));
      if (n && !n->Expanded() && n->Children() > 0) control.tvReg().UserExpand(n);
      if (p == std::string::npos) break;
    }
  }
};

const std::string kHkcu = "_&H80000001";

// Bytes in use on the heap, small blocks and mapped large ones alike.
size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void BM_ExpandControl(benchmark::State& state) {
  BuildSubKeys();
  Browser b;
  double tree_bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    b.control.Show();
    b.OpenPath(kHkcu + "\\SOFTWARE\\BENCH");
    toolkit::NodePtr keys = b.Node(kHkcu + "\\SOFTWARE\\BENCH\\KEYS");
    const size_t before = HeapInUse();
    state.ResumeTiming();
    b.control.tvReg().UserExpand(keys);
    state.PauseTiming();
    tree_bytes = static_cast<double>(HeapInUse() - before);
    if (keys->Children() != kSubKeys) state.SkipWithError("not every sub-key was added");
    state.ResumeTiming();
  }
  state.counters["tree_MiB"] = tree_bytes / (1024.0 * 1024.0);
  state.counters["per_key"] =
      benchmark::Counter(kSubKeys, benchmark::Counter::kIsIterationInvariantRate |
                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExpandControl)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same registry calls straight to the service: list the sub-keys, probe
// each for sub-keys of its own, open and close each by its path.
void BM_ExpandRaw(benchmark::State& state) {
  BuildSubKeys();
  const std::string base = "Software\\Bench\\Keys";
  for (auto _ : state) {
    HKEY parent = 0;
    RegOpenKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, KEY_READ, &parent);
    char name[1025];
    int found = 0;
    for (DWORD i = 0;; ++i) {
      DWORD size = 1024;
      if (RegEnumKeyExA(parent, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      HKEY child = 0;
      bool has_children = false;
      if (RegOpenKeyExA(parent, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
        char inner[1025];
        DWORD inner_size = 1024;
        has_children =
            RegEnumKeyExA(child, 0, inner, &inner_size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(child);
      }
      HKEY opened = 0;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\\" + name).c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
        RegCloseKey(opened);
      }
      found += has_children ? 1 : 0;
    }
    RegCloseKey(parent);
    benchmark::DoNotOptimize(found);
  }
  state.counters["per_key"] =
      benchmark::Counter(kSubKeys, benchmark::Counter::kIsIterationInvariantRate |
                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExpandRaw)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FillListControl(benchmark::State& state) {
  BuildValues();
  Browser b;
  b.control.Show();
  b.OpenPath(kHkcu + "\\SOFTWARE\\BENCH");
  toolkit::NodePtr bench = b.Node(kHkcu + "\\SOFTWARE\\BENCH");
  toolkit::NodePtr values = b.Node(kHkcu + "\\SOFTWARE\\BENCH\\VALUES");
  for (auto _ : state) {
    state.PauseTiming();
    b.control.tvReg().UserClick(bench);
    state.ResumeTiming();
    b.control.tvReg().UserClick(values);
  }
  if (b.control.lvValues().ListItems().Count() != kValues + 1) {
    state.SkipWithError("not every value was listed");
  }
}
BENCHMARK(BM_FillListControl)->Unit(benchmark::kMillisecond)->Iterations(10);

// Enumerate and read each value straight from the service.
void BM_FillListRaw(benchmark::State& state) {
  BuildValues();
  for (auto _ : state) {
    HKEY key = 0;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Bench\\Values", 0, KEY_READ, &key);
    char name[1025];
    std::vector<BYTE> data;
    size_t total = 0;
    for (DWORD i = 0;; ++i) {
      DWORD size = 1024, type = 0;
      if (RegEnumValueA(key, i, name, &size, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
      DWORD length = 0;
      RegQueryValueExA(key, name, nullptr, &type, nullptr, &length);
      data.resize(length + 2);
      RegQueryValueExA(key, name, nullptr, &type, data.data(), &length);
      total += length;
    }
    RegCloseKey(key);
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_FillListRaw)->Unit(benchmark::kMillisecond)->Iterations(10);

// The elements the control writes for the pick, in the same order and with
// the same attributes, written straight with pugixml below `root`.
void WritePickDirect(pugi::xml_node root) {
  const char* item = "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}";
  const char* coll = "{53B533F5-224C-47e3-B01B-CA3B3F3FF4BF}";
  auto collection = [&](pugi::xml_node parent, const std::string& name) {
    pugi::xml_node c = parent.append_child("Collection");
    c.append_attribute("clsid") = coll;
    c.append_attribute("name") = name.c_str();
    return c;
  };
  pugi::xml_node pick =
      collection(collection(collection(root, "HKEY_CURRENT_USER"), "Software"), "Pick");
  for (int k = 0; k < kPickKeys; ++k) {
    const std::string key_name = "K" + std::to_string(1000 + k);
    const std::string key_path = "Software\\Pick\\" + key_name;
    pugi::xml_node c = collection(pick, key_name);
    for (int v = 0; v < kPickValuesPerKey; ++v) {
      const std::string name = "V" + std::to_string(v);
      pugi::xml_node r = c.append_child("Registry");
      r.append_attribute("clsid") = item;
      r.append_attribute("status") = name.c_str();
      r.append_attribute("name") = name.c_str();
      r.append_attribute("descr") = "Wizard Generated Registry Item";
      r.append_attribute("image") = "7";
      pugi::xml_node q = r.append_child("Properties");
      q.append_attribute("name") = name.c_str();
      q.append_attribute("action") = "U";
      q.append_attribute("default") = "0";
      q.append_attribute("hive") = "HKEY_CURRENT_USER";
      q.append_attribute("key") = key_path.c_str();
      q.append_attribute("type") = "REG_SZ";
      q.append_attribute("value") = ("data " + std::to_string(v)).c_str();
    }
  }
}

// Ticks every value of the 1,000 keys, as a person would.
void TickEverything(Browser& b, const std::vector<toolkit::NodePtr>& keys) {
  for (const toolkit::NodePtr& key : keys) {
    b.control.tvReg().UserClick(key);
    auto& items = b.control.lvValues().ListItems();
    for (int32_t i = 2; i <= items.Count(); ++i) b.control.lvValues().UserCheck(items.Item(i), true);
  }
}

void BM_ExportControl(benchmark::State& state) {
  BuildPick();
  Browser b;
  toolkit::PropertyBag bag;
  bag.WriteProperty("SelectionType", Variant(int32_t{1}));
  b.control.UserControl_ReadProperties(bag);
  b.control.Show();
  b.OpenPath(kHkcu + "\\SOFTWARE\\PICK");
  std::vector<toolkit::NodePtr> keys;
  for (toolkit::NodePtr n = b.Node(kHkcu + "\\SOFTWARE\\PICK")->Child(); n; n = n->Next()) {
    keys.push_back(n);
  }
  // Ticked once as a person would; each export empties the selection, so the
  // same records are filed again (as the ticks filed them) before the next.
  TickEverything(b, keys);
  std::vector<std::shared_ptr<qvrData>> picked;
  for (const auto& records : b.control.Selection()) {
    for (const auto& record : *records) picked.push_back(record);
  }
  auto refile = [&] {
    qvrCollection& selection = const_cast<qvrCollection&>(b.control.Selection());
    for (const auto& r : picked) {
      const std::string path = r->strPropSheetHive + "\\" + r->strPropSheetKey;
      auto records = selection.item(Variant(path));
      if (!records) records = selection_internal::SelectionAccess::Add(selection, path);
      selection_internal::SelectionAccess::Add(
          *records, r->strRegistryClsID, r->strRegistryName, r->strRegistryDesc,
          r->strRegistryImage, r->strPropSheetAct, r->strPropSheetDefault, r->strPropSheetHive,
          r->strPropSheetKey, r->strPropSheetName, r->strPropSheetType, r->strPropSheetValue,
          r->strPropSheetName);
    }
  };
  std::string written;
  for (auto _ : state) {
    state.PauseTiming();
    if (b.control.Selection().Count() == 0) refile();
    DOMDocument doc;
    doc.loadXML("<Root/>");
    state.ResumeTiming();
    b.control.GetSelectedDOM(&doc);
    state.PauseTiming();
    written = doc.documentElement().xml();
    state.ResumeTiming();
  }
  state.counters["xml_bytes"] = static_cast<double>(written.size());
  // The baseline must write exactly what the control wrote.
  pugi::xml_document direct;
  WritePickDirect(direct.append_child("Root"));
  std::ostringstream expected;
  direct.first_child().print(expected, "", pugi::format_raw);
  if (written != expected.str()) state.SkipWithError("the control wrote other elements");
}
BENCHMARK(BM_ExportControl)->Unit(benchmark::kMillisecond)->Iterations(50);

// The same elements written straight with pugixml.
void BM_ExportPugixml(benchmark::State& state) {
  for (auto _ : state) {
    pugi::xml_document doc;
    WritePickDirect(doc.append_child("Root"));
    benchmark::DoNotOptimize(doc);
  }
}
BENCHMARK(BM_ExportPugixml)->Unit(benchmark::kMillisecond);

// The same elements written through DOMDocument, without the control: the
// share of the document wrapper in the control's export.
void BM_ExportDomDocument(benchmark::State& state) {
  const char* item = "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}";
  const char* coll = "{53B533F5-224C-47e3-B01B-CA3B3F3FF4BF}";
  for (auto _ : state) {
    DOMDocument doc;
    doc.loadXML("<Root/>");
    auto collection = [&](DOMElement parent, const std::string& name) {
      DOMElement c = doc.createElement("Collection");
      c.setAttribute("clsid", coll);
      c.setAttribute("name", name);
      parent.appendChild(c);
      return c;
    };
    DOMElement pick = collection(
        collection(collection(doc.documentElement(), "HKEY_CURRENT_USER"), "Software"), "Pick");
    for (int k = 0; k < kPickKeys; ++k) {
      const std::string key_name = "K" + std::to_string(1000 + k);
      const std::string key_path = "Software\\Pick\\" + key_name;
      DOMElement c = collection(pick, key_name);
      for (int v = 0; v < kPickValuesPerKey; ++v) {
        const std::string name = "V" + std::to_string(v);
        DOMElement r = doc.createElement("Registry");
        DOMElement q = doc.createElement("Properties");
        r.setAttribute("clsid", item);
        r.setAttribute("status", name);
        r.setAttribute("name", name);
        r.setAttribute("descr", "Wizard Generated Registry Item");
        r.setAttribute("image", "7");
        q.setAttribute("name", name);
        q.setAttribute("action", "U");
        q.setAttribute("default", "0");
        q.setAttribute("hive", "HKEY_CURRENT_USER");
        q.setAttribute("key", key_path);
        q.setAttribute("type", "REG_SZ");
        q.setAttribute("value", "data " + std::to_string(v));
        c.appendChild(r);
        r.appendChild(q);
      }
    }
    benchmark::DoNotOptimize(doc);
  }
}
BENCHMARK(BM_ExportDomDocument)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
