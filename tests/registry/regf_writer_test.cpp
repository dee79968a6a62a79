// The hive writer and checker: what WriteHive lays out reads back through
// hivex key for key and value for value, stays compact, takes hivex's edits;
// CheckHiveImage tells a hive from other files and from damaged hives.
#include <gtest/gtest.h>
#include <hivex.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "base/unicode.h"
#include "registry/regf_check.h"
#include "registry/regf_writer.h"

namespace qvr {
namespace {

constexpr DWORD kSz = 1, kBinary = 3, kDword = 4, kNone = 0;

// A key: name, sub-keys, values, time of last write, class name.
HiveKey K(std::string name, std::vector<HiveKey> children = {}, std::vector<HiveValue> values = {},
          int64_t last_write = 0, std::string class_name = "") {
  HiveKey k;
  k.name = std::move(name);
  k.children = std::move(children);
  k.values = std::move(values);
  k.last_write = last_write;
  k.class_name = std::move(class_name);
  return k;
}

std::string Utf16(std::string_view text) { return Utf16ToLeBytes(Utf8ToUtf16(text)); }
uint32_t Le32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}
void SetLe32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
void FixChecksum(std::string& image) {
  uint32_t sum = 0;
  for (size_t i = 0; i < 0x1FC; i += 4) sum ^= Le32(image, i);
  SetLe32(image, 0x1FC, sum);
}

// `image` in a temporary file, opened with hivex.
class HiveFile {
 public:
  explicit HiveFile(const std::string& image, int flags = 0) {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/regf_writer_test_XXXXXX";
    int fd = mkstemp(path_.data());
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, image.data(), image.size()), static_cast<ssize_t>(image.size()));
    close(fd);
    Open(flags);
  }
  ~HiveFile() {
    if (h_) hivex_close(h_);
    unlink(path_.c_str());
  }
  void Open(int flags) {
    if (h_) hivex_close(h_);
    h_ = hivex_open(path_.c_str(), flags);
  }
  std::string Bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  hive_h* h() const { return h_; }

 private:
  std::string path_;
  hive_h* h_ = nullptr;
};

std::string Take(char* p) {
  std::string s = p ? p : "";
  free(p);
  return s;
}

// What hivex reads at `node` is `key`, all the way down.
void ExpectSame(hive_h* h, hive_node_h node, const HiveKey& key) {
  SCOPED_TRACE(key.name);
  EXPECT_EQ(Take(hivex_node_name(h, node)), key.name);
  if (key.last_write != 0) {
    EXPECT_EQ(hivex_node_timestamp(h, node), key.last_write);
  }
  std::map<std::string, const HiveValue*> values;
  for (const HiveValue& v : key.values) values[v.name] = &v;
  hive_value_h* vs = hivex_node_values(h, node);
  ASSERT_NE(vs, nullptr);
  size_t nv = 0;
  for (; vs[nv]; ++nv) {
    const std::string name = Take(hivex_value_key(h, vs[nv]));
    ASSERT_TRUE(values.count(name)) << name;
    hive_type t;
    size_t len = 0;
    char* data = hivex_value_value(h, vs[nv], &t, &len);
    ASSERT_NE(data, nullptr) << name;
    DWORD type;  // any number, which the enum may not hold
    std::memcpy(&type, &t, sizeof type);
    EXPECT_EQ(type, values[name]->type) << name;
    EXPECT_TRUE(std::string(data, len) == values[name]->data) << name << " " << len;
    free(data);
  }
  free(vs);
  EXPECT_EQ(nv, key.values.size());
  std::map<std::string, const HiveKey*> children;
  for (const HiveKey& c : key.children) children[c.name] = &c;
  hive_node_h* cs = hivex_node_children(h, node);
  ASSERT_NE(cs, nullptr);
  size_t nc = 0;
  for (; cs[nc]; ++nc) {
    const std::string name = Take(hivex_node_name(h, cs[nc]));
    ASSERT_TRUE(children.count(name)) << name;
    ExpectSame(h, cs[nc], *children[name]);
  }
  free(cs);
  EXPECT_EQ(nc, key.children.size());
}

std::string Bytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + i / 251) & 0xFF);
  return s;
}

HiveKey SampleTree() {
  HiveKey root = K("ROOT", {}, {}, 133000000000000000LL);
  root.values = {{"", kSz, Utf16("default")},
                 {"Größe", kDword, std::string("\x01\x02\x03\x04", 4)},
                 {"empty", kNone, ""},
                 {"three", kBinary, "abc"},
                 {"ключ", kSz, Utf16("значение")},
                 {"segment", kBinary, Bytes(16344, 1)},
                 {"just big", kBinary, Bytes(16345, 2)},
                 {"two segments and 4", kBinary, Bytes(2 * 16344 + 4, 3)},
                 {"big", kBinary, Bytes(100000, 4)}};
  root.children.push_back(K("Größe", {}, {}, 132000000000000000LL, "klasse"));
  root.children.push_back(K("ключ", {}, {}, 0, "класс"));
  root.children.push_back(K("値", {}, {{"値", kSz, Utf16("値")}}));
  HiveKey many = K("many");
  for (int i = 0; i < 3000; ++i) {
    many.children.push_back(K("child" + std::to_string(i), {}, {{"", kDword, "1234"}}));
  }
  root.children.push_back(std::move(many));
  return root;
}

TEST(RegfWriterTest, TreeReadsBackThroughHivex) {
  const HiveKey root = SampleTree();
  std::string image;
  ASSERT_TRUE(WriteHive(root, &image).ok());
  HiveHeader header;
  ASSERT_TRUE(CheckHiveImage(image, &header).ok());
  EXPECT_EQ(header.major, 1u);
  EXPECT_EQ(header.minor, 5u);
  EXPECT_FALSE(header.Dirty());
  EXPECT_EQ(image.size(), 4096 + header.data_size);
  HiveFile file(image);
  ASSERT_NE(file.h(), nullptr);
  ExpectSame(file.h(), hivex_root(file.h()), root);
  // 3000 sub-keys: an "ri" over "lh" lists; 100000 bytes: a "db" record.
  hive_node_h many = hivex_node_get_child(file.h(), hivex_root(file.h()), "many");
  EXPECT_EQ(image.substr(0x1000 + Le32(image, many + 4 + 0x1C) + 4, 2), "ri");
  hive_value_h big = hivex_node_get_value(file.h(), hivex_root(file.h()), "big");
  EXPECT_EQ(image.substr(0x1000 + Le32(image, big + 4 + 8) + 4, 2), "db");
  // A key without a time of last write gets the time of writing.
  hive_node_h child = hivex_node_get_child(file.h(), hivex_root(file.h()), "ключ");
  EXPECT_NEAR(static_cast<double>(hivex_node_timestamp(file.h(), child)),
              static_cast<double>(header.last_written), 1e8);
}

TEST(RegfWriterTest, SubkeysSortedByUpperCaseWithWindowsHash) {
  HiveKey root = K("R");
  for (const char* n : {"b", "_x", "A", "C"}) root.children.push_back(K(n));
  root.children.push_back(K("S", {K("abc")}));
  std::string image;
  ASSERT_TRUE(WriteHive(root, &image).ok());
  HiveFile file(image);
  hive_node_h* cs = hivex_node_children(file.h(), hivex_root(file.h()));
  std::string order;
  for (size_t i = 0; cs[i]; ++i) order += Take(hivex_node_name(file.h(), cs[i])) + " ";
  free(cs);
  EXPECT_EQ(order, "A b C S _x ");  // '_' sorts after the letters once upper-cased
  hive_node_h s = hivex_node_get_child(file.h(), hivex_root(file.h()), "S");
  const size_t lh = 0x1000 + Le32(image, s + 4 + 0x1C);
  EXPECT_EQ(Le32(image, lh + 4 + 8), (65u * 37 + 66) * 37 + 67);  // hash of "ABC"
}

TEST(RegfWriterTest, RefusesWhatWouldBeCorrupt) {
  const std::vector<std::pair<const char*, HiveKey>> cases = {
      {"sub-keys equal but for case", K("R", {K("ab"), K("AB")})},
      {"values equal but for case", K("R", {}, {{"Größe", 1, ""}, {"GRÖSSE", 1, ""}, {"größe", 1, ""}})},
      {"two default values", K("R", {}, {{"", 1, ""}, {"", 4, "1234"}})},
      {"empty key name", K("R", {K("")})},
      {"backslash in a key name", K("R", {K("a\\b")})},
      {"key name of 256", K("R", {K(std::string(256, 'k'))})},
      {"bad UTF-8", K("R", {K("a\xff")})},
      {"value name of 16384", K("R", {}, {{std::string(16384, 'v'), 1, ""}})},
      {"deep duplicate", K("R", {K("a", {K("x"), K("X")})})},
      {"negative time", K("R", {}, {}, -1)},
  };
  for (const auto& [what, root] : cases) {
    std::string image = "old";
    Status s = WriteHive(root, &image);
    EXPECT_EQ(s.code(), ERROR_INVALID_PARAMETER) << what;
    EXPECT_TRUE(image.empty()) << what;
  }
  std::string image;
  EXPECT_TRUE(WriteHive(K("R", {K(std::string(255, 'k'))}), &image).ok());
}

TEST(RegfWriterTest, EmptyHiveTakesHivexEdits) {
  std::string image;
  ASSERT_TRUE(WriteHive(K("ROOT"), &image).ok());
  EXPECT_EQ(image.size(), 8192u);
  HiveFile file(image, HIVEX_OPEN_WRITE);
  ASSERT_NE(file.h(), nullptr);
  hive_node_h child = hivex_node_add_child(file.h(), hivex_root(file.h()), "Software");
  ASSERT_NE(child, 0u);
  char data[] = "\x2a\0\0\0";
  hive_set_value value{const_cast<char*>("answer"), hive_t_REG_DWORD, 4, data};
  ASSERT_EQ(hivex_node_set_value(file.h(), child, &value, 0), 0);
  ASSERT_EQ(hivex_commit(file.h(), nullptr, 0), 0);
  file.Open(0);
  ASSERT_NE(file.h(), nullptr);
  ExpectSame(file.h(), hivex_root(file.h()),
             K("ROOT", {K("Software", {}, {{"answer", kDword, std::string("\x2a\0\0\0", 4)}})}));
  HiveHeader header;
  EXPECT_TRUE(CheckHiveImage(file.Bytes(), &header).ok());
}

// Free cell bytes in the hbins of `image`.
size_t FreeBytes(const std::string& image) {
  size_t free_bytes = 0;
  for (size_t bin = 0x1000; bin < image.size(); bin += Le32(image, bin + 8)) {
    for (size_t cell = bin + 32; cell < bin + Le32(image, bin + 8);) {
      const int32_t size = static_cast<int32_t>(Le32(image, cell));
      if (size > 0) free_bytes += size;
      cell += size < 0 ? -size : size;
    }
  }
  return free_bytes;
}

TEST(RegfWriterTest, CompactFiles) {
  // 100 keys of 1000 sub-keys: next to no free space between cells.
  HiveKey wide = K("R");
  for (int i = 0; i < 100; ++i) {
    HiveKey k = K("key" + std::to_string(i));
    for (int j = 0; j < 1000; ++j) k.children.push_back(K("sub" + std::to_string(j)));
    wide.children.push_back(std::move(k));
  }
  std::string image;
  ASSERT_TRUE(WriteHive(wide, &image).ok());
  EXPECT_LT(FreeBytes(image), image.size() / 100) << image.size();
  HiveFile file(image);
  ASSERT_NE(file.h(), nullptr);
  hive_node_h k99 = hivex_node_get_child(file.h(), hivex_root(file.h()), "key99");
  EXPECT_NE(hivex_node_get_child(file.h(), k99, "sub999"), 0u);
  // Keys with values: the file is under twice its names and data.
  HiveKey full = K("R");
  size_t payload = 0;
  for (int i = 0; i < 100; ++i) {
    HiveKey k = K("key" + std::to_string(i));
    for (int j = 0; j < 100; ++j) k.values.push_back({"value" + std::to_string(j), kBinary, Bytes(100, j)});
    for (const HiveValue& v : k.values) payload += v.name.size() + v.data.size();
    payload += k.name.size();
    full.children.push_back(std::move(k));
  }
  ASSERT_TRUE(WriteHive(full, &image).ok());
  EXPECT_LE(image.size(), 2 * payload) << image.size() << " " << payload;
}

TEST(RegfCheckTest, TellsHivesFromOtherFilesAndDamage) {
  HiveKey root = K("ROOT", {K("a")}, {{"data", kBinary, Bytes(10000, 5)}});
  std::string good;
  ASSERT_TRUE(WriteHive(root, &good).ok());
  ASSERT_GT(good.size(), 8192u);  // two hbins at least
  const uint32_t root_cell = 0x1000 + Le32(good, 0x24);
  using Edit = std::function<void(std::string&)>;
  const std::vector<std::tuple<const char*, LONG, Edit>> cases = {
      {"good", 0, [](std::string&) {}},
      {"text", ERROR_NOT_REGISTRY_FILE, [](std::string& s) { s = "Windows Registry Editor Version 5.00\r\n"; }},
      {"empty", ERROR_NOT_REGISTRY_FILE, [](std::string& s) { s.clear(); }},
      {"100 bytes", ERROR_NOT_REGISTRY_FILE, [](std::string& s) { s.resize(100); }},
      {"no regf", ERROR_NOT_REGISTRY_FILE, [](std::string& s) { s[0] = 'R'; }},
      {"checksum", ERROR_REGISTRY_CORRUPT, [](std::string& s) { s[0x1FC] ^= 1; }},
      {"base block only", ERROR_REGISTRY_CORRUPT, [](std::string& s) { s.resize(4096); }},
      {"truncated", ERROR_REGISTRY_CORRUPT, [](std::string& s) { s.resize(s.size() - 4096); }},
      {"version 2", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x14, 2); FixChecksum(s); }},
      {"hbin signature", ERROR_REGISTRY_CORRUPT, [](std::string& s) { s[0x1000] = 'H'; }},
      {"hbin offset", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x1004, 0x1000); }},
      {"hbin size", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x1008, 0x1800); }},
      {"hbin size 0", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x1008, 0); }},
      {"hbin past the data", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x1008, 0x100000); }},
      {"cell past its hbin", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x1020, static_cast<uint32_t>(-0x2000)); }},
      {"cell size odd", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x1020, static_cast<uint32_t>(-0x94)); }},
      {"cell size 0", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x1020, 0); }},
      {"root outside", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x24, 0x100000); FixChecksum(s); }},
      {"root mid-cell", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x24, Le32(s, 0x24) + 8); FixChecksum(s); }},
      {"root not nk", ERROR_REGISTRY_CORRUPT, [](std::string& s) { SetLe32(s, 0x24, 0x20); FixChecksum(s); }},
      {"root free", ERROR_REGISTRY_CORRUPT, [&](std::string& s) { SetLe32(s, root_cell, -Le32(s, root_cell)); }},
  };
  for (const auto& [what, code, edit] : cases) {
    std::string image = good;
    edit(image);
    HiveHeader header;
    Status s = CheckHiveImage(image, &header);
    EXPECT_EQ(s.code(), code) << what << ": " << s.ToString();
    EXPECT_EQ(s.ok(), code == 0) << what;
    if (code == ERROR_REGISTRY_CORRUPT) {
      EXPECT_NE(s.message().find("offset 0x"), std::string::npos) << what;
    }
  }
  HiveHeader header;
  ASSERT_TRUE(CheckHiveImage(good, &header).ok());
  EXPECT_EQ(header.root_offset, root_cell - 0x1000);
  EXPECT_EQ(header.data_size, good.size() - 4096);
}

}  // namespace
}  // namespace qvr
