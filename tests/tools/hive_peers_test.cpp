// Hive files checked against other readers and writers of the format:
// hivexregedit (Perl, over libhivex) and reglookup (libregfi) read what
// `qvr-reg save` writes, and a hive hivexregedit builds loads with `qvr-reg
// load`. A reader that is not installed skips its test and says which.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/unicode.h"
#include "regfile/reg_byte_input.h"
#include "regfile/reg_file_parser.h"
#include "regfile/reg_sink.h"
#include "regfile/reg_text_source.h"
#include "registry/registry_api.h"
#include "support/run_program.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

using testing::ProgramResult;

// A tree of keys, by path below its top ("" is the top itself; components
// joined by "\"), each with its values by name: type and bytes as stored.
using Values = std::map<std::string, std::pair<DWORD, std::string>>;
using Tree = std::map<std::string, Values>;

std::string Utf16Le(std::string_view utf8) {
  std::string out;
  for (char16_t u : Utf8ToUtf16(utf8)) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}
std::string Sz(std::string_view utf8) { return Utf16Le(utf8) + std::string(2, '\0'); }
std::string Multi(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += Sz(item);
  return out + std::string(2, '\0');
}
std::string LittleEndian(uint64_t n, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(n >> (8 * i));
  return out;
}

// Keys of every kind of name, values of every type, data too big for one
// cell, and a key with more sub-keys than one lf/lh list holds.
Tree SampleTree() {
  std::string big;
  for (int i = 0; i < 40000; ++i) big += static_cast<char>(i * 7 + i / 256);
  Tree tree;
  tree[""] = {{"", {REG_SZ, Sz("top default")}},
              {"Text", {REG_SZ, Sz("plain")}},
              {"Empty", {REG_SZ, Sz("")}},
              {"Wide", {REG_SZ, Sz("Grüße, ключ, 値")}},
              {"Expand", {REG_EXPAND_SZ, Sz("%SystemRoot%\\system32")}},
              {"Multi", {REG_MULTI_SZ, Multi({"one", "two", "drei"})}},
              {"Small", {REG_BINARY, std::string("\x01\x00\xff", 3)}},
              {"Big", {REG_BINARY, big}},
              // A short last segment, which fits in a gap further up.
              {"Big2", {REG_BINARY, big.substr(0, 20000)}},
              {"Dword", {REG_DWORD, LittleEndian(0x12345678, 4)}},
              {"Qword", {REG_QWORD, LittleEndian(0x0123456789abcdefULL, 8)}},
              {"None", {REG_NONE, ""}}};
  tree["MixedCase"] = {};
  tree["MixedCase\\lowerUPPER"] = {{"CamelName", {REG_DWORD, LittleEndian(7, 4)}}};
  tree["Grüße"] = {{"Näme", {REG_SZ, Sz("ü")}}};
  tree["ключ"] = {{"", {REG_DWORD, LittleEndian(5, 4)}}};
  tree["ключ\\値"] = {{"値", {REG_SZ, Sz("値")}}};
  tree["Many"] = {};
  for (int i = 0; i < 3000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Key%04d", i);
    tree[std::string("Many\\") + name] =
        i % 500 == 0 ? Values{{"n", {REG_DWORD, LittleEndian(i, 4)}}} : Values{};
  }
  return tree;
}

// A .reg file (UTF-8) of `tree` below `top`, every value as hex(N).
std::string RegFileOf(const Tree& tree, const std::string& top) {
  std::string out = "Windows Registry Editor Version 5.00\n";
  for (const auto& [path, values] : tree) {
    out += "\n[" + top + (path.empty() ? "" : "\\" + path) + "]\n";
    for (const auto& [name, value] : values) {
      out += name.empty() ? "@" : "\"" + name + "\"";
      char hex[16];
      std::snprintf(hex, sizeof hex, "=hex(%x):", static_cast<unsigned>(value.first));
      out += hex;
      for (size_t i = 0; i < value.second.size(); ++i) {
        std::snprintf(hex, sizeof hex, i ? ",%02x" : "%02x",
                      static_cast<uint8_t>(value.second[i]));
        out += hex;
      }
      out += "\n";
    }
  }
  return out;
}

// Collects a .reg file's keys below `top` into a Tree; a key elsewhere is
// kept under its full path, marked, so that it shows in a comparison.
class TreeSink : public RegSink {
 public:
  explicit TreeSink(std::string top) : top_(std::move(top)) {}
  Status OpenKey(std::string_view path) override {
    std::string p(path);
    if (!p.empty() && p.back() == '\\') p.pop_back();  // hivexregedit's top: "[top\]"
    if (p == top_) {
      key_ = "";
    } else if (p.rfind(top_ + "\\", 0) == 0) {
      key_ = p.substr(top_.size() + 1);
    } else {
      key_ = "<outside> " + p;
    }
    tree[key_];
    return Status::OK();
  }
  Status DeleteKey(std::string_view path) override { return Status::IOError("a deletion: " + std::string(path)); }
  Status SetValue(std::string_view name, DWORD type, std::string_view data) override {
    tree[key_][std::string(name)] = {type, std::string(data)};
    return Status::OK();
  }
  Status DeleteValue(std::string_view name) override { return Status::IOError("a deletion: " + std::string(name)); }

  Tree tree;

 private:
  std::string top_;
  std::string key_;
};

Tree ParseRegFile(const std::string& bytes, const std::string& top) {
  TreeSink sink(top);
  RegTextSource source(RegByteInput::FromMemory(bytes));
  RegFileParser parser;
  Status status = parser.Parse(source, sink);
  EXPECT_TRUE(status.ok()) << status.ToString();
  return sink.tree;
}

// What differs between two trees, a line each (the first 20), "" for none:
// a failure then names the key and value instead of printing 3,000 keys.
std::string Printable(std::string_view bytes) {
  std::string out;
  for (char c : bytes.substr(0, 24)) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<uint8_t>(c));
    out += c >= 0x20 && c < 0x7F ? std::string(1, c) : hex;
  }
  return bytes.size() > 24 ? out + "... (" + std::to_string(bytes.size()) + " bytes)" : out;
}

std::string Differences(const Tree& want, const Tree& got) {
  std::string out;
  int count = 0;
  auto note = [&](const std::string& path, const std::string& line) {
    if (count++ < 20) out += "[" + Printable(path) + "] " + line + "\n";
  };
  auto show = [](const std::pair<DWORD, std::string>& v) {
    return "type " + std::to_string(v.first) + " " + Printable(v.second);
  };
  for (const auto& [path, values] : want) {
    auto key = got.find(path);
    if (key == got.end()) {
      note(path, "missing");
      continue;
    }
    for (const auto& [name, value] : values) {
      auto found = key->second.find(name);
      if (found == key->second.end()) {
        note(path, "\"" + Printable(name) + "\" missing");
      } else if (found->second != value) {
        note(path, "\"" + Printable(name) + "\" is " + show(found->second) + ", not " + show(value));
      }
    }
    for (const auto& [name, value] : key->second) {
      if (!values.count(name)) note(path, "\"" + Printable(name) + "\" extra: " + show(value));
    }
  }
  for (const auto& [path, values] : got) {
    if (!want.count(path)) note(path, "extra key");
  }
  if (count > 20) out += std::to_string(count - 20) + " more\n";
  return out;
}

// ---- reglookup's view -------------------------------------------------------
// reglookup prints names and data through an ASCII conversion; what does not
// convert comes as the bytes the hive holds, commas, per cents and the like as %XX. So a name
// is its Latin-1 bytes when the hive may keep it compressed, else UTF-16LE.

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string HiveName(std::string_view utf8) {
  std::string latin1;
  for (char16_t u : Utf8ToUtf16(utf8)) {
    if (u > 0xFF) return Utf16Le(utf8);
    latin1 += static_cast<char>(u);
  }
  return latin1;
}

std::string HivePath(const std::string& path) {
  std::string out, component;
  std::istringstream in(path);
  while (std::getline(in, component, '\\')) out += (out.empty() ? "" : "\\") + HiveName(component);
  return out;
}

// The UTF-16LE text as ASCII; nullopt when any unit is not ASCII.
std::optional<std::string> Ascii(const std::string& utf16) {
  std::string text;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
    if (utf16[i + 1] != 0 || static_cast<uint8_t>(utf16[i]) > 0x7F) return std::nullopt;
    text += utf16[i];
  }
  return text;
}

// The text reglookup gives for a value's data.
std::string ReglookupData(DWORD type, const std::string& data) {
  uint64_t n = 0;
  for (size_t i = data.size(); i-- > 0;) n = n << 8 | static_cast<uint8_t>(data[i]);
  char number[24];
  std::optional<std::string> text = Ascii(data);
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return text ? text->substr(0, text->find('\0')) : data;
    case REG_MULTI_SZ: {
      std::string out;
      for (size_t at = 0; at < text->size() && (*text)[at] != '\0';) {
        size_t end = text->find('\0', at);
        out += (out.empty() ? "" : "|") + text->substr(at, end - at);
        at = end + 1;
      }
      return out;
    }
    case REG_DWORD:
      std::snprintf(number, sizeof number, "0x%08llX", static_cast<unsigned long long>(n));
      return number;
    case REG_QWORD:
      std::snprintf(number, sizeof number, "0x%016llX", static_cast<unsigned long long>(n));
      return number;
    default:
      return data.empty() ? "(null)" : data;
  }
}

DWORD ReglookupType(const std::string& name) {
  static const std::map<std::string, DWORD> kTypes = {
      {"NONE", REG_NONE},   {"SZ", REG_SZ},           {"EXPAND_SZ", REG_EXPAND_SZ},
      {"BINARY", REG_BINARY}, {"DWORD", REG_DWORD}, {"MULTI_SZ", REG_MULTI_SZ},
      {"QWORD", REG_QWORD}};
  auto it = kTypes.find(name);
  return it == kTypes.end() ? 0xFFFFFFFF : it->second;
}

// A tree in reglookup's terms: hive names, data as reglookup prints it.
Tree AsReglookupShows(const Tree& tree) {
  Tree out;
  for (const auto& [path, values] : tree) {
    Values& shown = out[HivePath(path)];
    for (const auto& [name, value] : values) {
      shown[HiveName(name)] = {value.first, ReglookupData(value.first, value.second)};
    }
  }
  return out;
}

// "PATH,TYPE,VALUE,MTIME" lines: "/" is the top key, "/a/b" a key, "/a/b/v"
// its value "v" ("//v" a value of the top). Key times go to `times`.
Tree ParseReglookup(const std::string& csv, std::vector<std::string>* times) {
  Tree tree;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "PATH,TYPE,VALUE,MTIME");
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (line.empty()) continue;
    if (line.back() == ',') fields.push_back("");
    if (fields.size() != 4) {
      ADD_FAILURE() << "reglookup line: " << line;
      continue;
    }
    auto key_path = [](std::string p) {
      if (p == "/") return std::string();
      std::string out = Unescape(p.substr(1));
      for (char& c : out) c = c == '/' ? '\\' : c;
      return out;
    };
    if (fields[1] == "KEY") {
      tree[key_path(fields[0])];
      times->push_back(fields[3]);
      continue;
    }
    size_t slash = fields[0].rfind('/');
    tree[key_path(fields[0].substr(0, std::max<size_t>(slash, 1)))]
        [Unescape(fields[0].substr(slash + 1))] = {ReglookupType(fields[1]), Unescape(fields[2])};
  }
  return tree;
}

// ---- the tests ----------------------------------------------------------------

std::string FindProgram(const std::string& name) {
  std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  for (std::string dir; std::getline(path, dir, ':');) {
    std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

#define SKIP_WITHOUT(program, package)                                              \
  const std::string program##_path = FindProgram(#program);                         \
  if (program##_path.empty()) {                                                     \
    GTEST_SKIP() << #program " is not installed (apt-get install " package ")";    \
  }

std::string UtcNow(int shift_seconds) {
  std::time_t now = std::time(nullptr) + shift_seconds;
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::gmtime(&now));
  return text;
}

class HivePeersTest : public ::testing::Test {
 protected:
  static constexpr char kTop[] = "HKEY_CURRENT_USER\\Software\\PeerTest";

  ProgramResult Reg(std::vector<std::string> args) {
    return testing::RunProgram(testing::BuildOutput("tools/qvr-reg/qvr-reg"), args);
  }
  std::string Path(const std::string& name) { return temp_.Dir() + "/" + name; }
  std::string Read(const std::string& name) {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  void ExpectRan(const ProgramResult& r, const std::string& what) {
    EXPECT_EQ(r.exit_code, 0) << what << ": " << r.err;
  }

  // The sample tree imported below kTop and saved as "saved.hiv"; checks
  // that the store holds what the file gave.
  void SaveSample() {
    Write("sample.reg", RegFileOf(sample_, kTop));
    ExpectRan(Reg({"import", Path("sample.reg")}), "import");
    ExpectRan(Reg({"export", kTop, Path("store.reg"), "/y"}), "export");
    ASSERT_EQ(Differences(sample_, ParseRegFile(Read("store.reg"), kTop)), "");
    ExpectRan(Reg({"save", kTop, Path("saved.hiv"), "/y"}), "save");
  }

  testing::TempRegistry temp_;
  const Tree sample_ = SampleTree();
  const std::string started_ = UtcNow(-2);
};

TEST_F(HivePeersTest, HivexregeditReadsWhatSaveWrote) {
  SKIP_WITHOUT(hivexregedit, "libwin-hivex-perl");
  SaveSample();
  // PERL_UNICODE=SO: names as UTF-8, not the Latin-1 Perl prints by itself.
  ProgramResult r = testing::RunProgram(
      "/usr/bin/env", {"PERL_UNICODE=SO", hivexregedit_path, "--export", "--prefix", kTop,
                       Path("saved.hiv"), "\\"});
  ExpectRan(r, "hivexregedit --export");
  // Its top key is "[prefix\]", which a .reg file cannot name.
  const std::string top = "[" + std::string(kTop) + "\\]";
  ASSERT_NE(r.out.find(top), std::string::npos);
  r.out.replace(r.out.find(top), top.size(), "[" + std::string(kTop) + "]");
  EXPECT_EQ(Differences(sample_, ParseRegFile(r.out, kTop)), "");
}

TEST_F(HivePeersTest, ReglookupReadsWhatSaveWrote) {
  SKIP_WITHOUT(reglookup, "reglookup");
  SaveSample();
  ProgramResult r = testing::RunProgram(reglookup_path, {Path("saved.hiv")});
  ExpectRan(r, "reglookup");
  std::vector<std::string> times;
  EXPECT_EQ(Differences(AsReglookupShows(sample_), ParseReglookup(r.out, &times)), "");
  // Every key's last write is the time it was made, in UTC.
  ASSERT_EQ(times.size(), sample_.size());
  const std::string ended = UtcNow(2);
  for (const std::string& time : times) {
    EXPECT_TRUE(started_ <= time && time <= ended) << time << " not in " << started_ << " .. " << ended;
  }
}

TEST_F(HivePeersTest, AHiveHivexregeditMergedIntoLoads) {
  SKIP_WITHOUT(hivexregedit, "libwin-hivex-perl");
  ExpectRan(Reg({"add", "HKCU\\Software\\Empty", "/f"}), "add");
  ExpectRan(Reg({"save", "HKCU\\Software\\Empty", Path("merged.hiv"), "/y"}), "save");
  // hivexregedit makes a key only below one that exists, so parents come
  // first (RegFileOf writes them in path order); text in "..." form too.
  const std::string from = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Peer";
  Tree tree = sample_;
  std::erase_if(tree, [](const auto& key) { return key.first.starts_with("Many\\Key"); });
  Write("merge.reg", RegFileOf(tree, from) + "\n[" + from + "\\Many\\Key0001]\n\"x\"=\"Grüße\"\n");
  tree["Many\\Key0001"] = {{"x", {REG_SZ, Sz("Grüße")}}};
  // PERL_UNICODE=D: the file is UTF-8; by itself it reads bytes as Latin-1.
  ProgramResult r = testing::RunProgram(
      "/usr/bin/env", {"PERL_UNICODE=D", hivexregedit_path, "--merge", "--prefix", from,
                       Path("merged.hiv"), Path("merge.reg")});
  ExpectRan(r, "hivexregedit --merge");

  ExpectRan(Reg({"load", "HKLM\\Merged", Path("merged.hiv")}), "load");
  ExpectRan(Reg({"export", "HKLM\\Merged", Path("loaded.reg"), "/y"}), "export");
  EXPECT_EQ(Differences(tree, ParseRegFile(Read("loaded.reg"), "HKEY_LOCAL_MACHINE\\Merged")), "");
  ExpectRan(Reg({"unload", "HKLM\\Merged"}), "unload");
}

}  // namespace
}  // namespace qvr
