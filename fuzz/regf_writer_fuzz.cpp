// Builds a tree of keys and values from the fuzzer's bytes, writes it as a
// hive, and requires that the checker accepts the hive and that hivex reads
// back every key and value exactly. Sometimes a name is repeated among
// siblings: then the writer must refuse with 87 and write nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "base/unicode.h"
#include "hive_fuzz.h"
#include "registry/regf_check.h"
#include "registry/regf_writer.h"

namespace {

using qvr::fuzz::Require;

// A valid UTF-8 name from arbitrary bytes, new among `taken` (compared
// without regard to case); false when none comes of them. A key's name is
// never empty; a value's may be (the default value).
bool NewName(FuzzedDataProvider& fdp, std::set<std::string>& taken, bool key, std::string* out) {
  std::string name = qvr::Utf16ToUtf8(qvr::Utf8ToUtf16(fdp.ConsumeRandomLengthString(24)));
  std::string clean;
  for (char c : name) {
    if (c != '\0' && !(key && c == '\\')) clean += c;
  }
  if (qvr::NameLength(clean) == std::string::npos) return false;
  if (key && clean.empty()) clean = "k" + std::to_string(taken.size());
  if (!taken.insert(qvr::FoldCase(clean)).second) return false;
  *out = clean;
  return true;
}

std::string Data(FuzzedDataProvider& fdp) {
  switch (fdp.ConsumeIntegralInRange(0, 31)) {
    case 0: {  // big: "db" segments, sometimes a partial last one
      static const size_t sizes[] = {16344, 16345, 2 * 16344 + 4, 40000};
      const uint8_t seed = fdp.ConsumeIntegral<uint8_t>();
      std::string data(sizes[fdp.ConsumeIntegralInRange(0, 3)], static_cast<char>(seed));
      for (size_t i = 0; i < data.size(); i += 997) data[i] = static_cast<char>(i / 997);
      return data;
    }
    case 1:
      return std::string(fdp.ConsumeIntegralInRange<size_t>(5, 5000), 'd');
    default:
      return fdp.ConsumeRandomLengthString(40);
  }
}

void Build(FuzzedDataProvider& fdp, qvr::HiveKey& key, int depth, bool& duplicated) {
  key.last_write = fdp.ConsumeBool() ? 0 : fdp.ConsumeIntegralInRange<int64_t>(1, INT64_MAX);
  if (fdp.ConsumeIntegralInRange(0, 7) == 0) {
    std::set<std::string> none;
    NewName(fdp, none, false, &key.class_name);
  }
  std::set<std::string> value_names;
  for (int n = fdp.ConsumeIntegralInRange(0, 5); n > 0; --n) {
    qvr::HiveValue value;
    if (!NewName(fdp, value_names, false, &value.name)) continue;
    value.type = fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<uint32_t>(0, 11)
                                   : fdp.ConsumeIntegral<uint32_t>();
    value.data = Data(fdp);
    key.values.push_back(std::move(value));
  }
  if (depth >= 4) return;
  std::set<std::string> child_names;
  // Just over one "lh" list of sub-keys: an "ri" over two.
  const int wide = depth == 0 && fdp.ConsumeIntegralInRange(0, 31) == 0 ? 501 : 0;
  for (int i = 0; i < wide; ++i) {
    child_names.insert(qvr::FoldCase("w" + std::to_string(i)));
    key.children.push_back({"w" + std::to_string(i), "", 0, {}, {}});
  }
  for (int n = fdp.ConsumeIntegralInRange(0, 4 - depth); n > 0; --n) {
    qvr::HiveKey child;
    if (!NewName(fdp, child_names, true, &child.name)) continue;
    Build(fdp, child, depth + 1, duplicated);
    key.children.push_back(std::move(child));
  }
  if (!key.children.empty() && fdp.ConsumeIntegralInRange(0, 63) == 0) {
    key.children.push_back({key.children.front().name, "", 0, {}, {}});
    duplicated = true;
  }
}

std::string Take(char* p) {
  std::string s = p ? p : "";
  free(p);
  return s;
}

void RequireSame(hive_h* h, hive_node_h node, const qvr::HiveKey& key) {
  Require(Take(hivex_node_name(h, node)) == key.name, "a key name");
  if (key.last_write) Require(hivex_node_timestamp(h, node) == key.last_write, "a key's time");
  std::map<std::string, const qvr::HiveValue*> values;
  for (const qvr::HiveValue& v : key.values) values[v.name] = &v;
  hive_value_h* vs = hivex_node_values(h, node);
  Require(vs != nullptr, "values unreadable");
  size_t count = 0;
  for (; vs[count]; ++count) {
    auto it = values.find(Take(hivex_value_key(h, vs[count])));
    Require(it != values.end(), "a value name");
    hive_type t;
    size_t len = 0;
    char* data = hivex_value_value(h, vs[count], &t, &len);
    Require(data != nullptr, "value data unreadable");
    Require(qvr::fuzz::TypeOf(t) == it->second->type, "a value type");
    Require(std::string_view(data, len) == it->second->data, "value data");
    free(data);
  }
  free(vs);
  Require(count == key.values.size(), "the number of values");
  std::map<std::string, const qvr::HiveKey*> children;
  for (const qvr::HiveKey& c : key.children) children[c.name] = &c;
  hive_node_h* cs = hivex_node_children(h, node);
  Require(cs != nullptr, "sub-keys unreadable");
  size_t n = 0;
  for (; cs[n]; ++n) {
    auto it = children.find(Take(hivex_node_name(h, cs[n])));
    Require(it != children.end(), "a sub-key name");
    RequireSame(h, cs[n], *it->second);
  }
  free(cs);
  Require(n == key.children.size(), "the number of sub-keys");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qvr::fuzz::MemFile file;
  FuzzedDataProvider fdp(data, size);
  qvr::HiveKey root;
  std::set<std::string> none;
  root.name = "ROOT";
  if (fdp.ConsumeBool()) NewName(fdp, none, true, &root.name);
  bool duplicated = false;
  Build(fdp, root, 0, duplicated);
  std::string image;
  qvr::Status status = qvr::WriteHive(root, &image);
  if (duplicated) {
    Require(status.code() == qvr::ERROR_INVALID_PARAMETER && image.empty(), "a duplicate written");
    return 0;
  }
  if (!status.ok()) std::fprintf(stderr, "%s\n", status.ToString().c_str());
  Require(status.ok(), "a valid tree refused");
  qvr::HiveHeader header;
  Require(qvr::CheckHiveImage(image, &header).ok(), "the checker refuses the writer's hive");
  hive_h* h = file.Open(image);
  Require(h != nullptr, "hivex cannot open the hive");
  RequireSame(h, hivex_root(h), root);
  hivex_close(h);
  return 0;
}
