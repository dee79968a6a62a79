// The XML document of the pick, compared as text.
#include <gtest/gtest.h>

#include "base/unicode.h"
#include "control_fixture.h"

namespace qvr {
namespace {

const std::string kItem = "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}";
const std::string kColl = "{53B533F5-224C-47e3-B01B-CA3B3F3FF4BF}";
const std::string kDescr = "Wizard Generated Registry Item";
const std::string kX = "SOFTWARE\\X";

std::string OpenTag(const std::string& name) {
  return "<Collection clsid=\"" + kColl + "\" name=\"" + name + "\"";
}
std::string Collection(const std::string& name, const std::string& inner) {
  return inner.empty() ? OpenTag(name) + "/>" : OpenTag(name) + ">" + inner + "</Collection>";
}
// Shape V: a ticked value.
std::string ValueItem(const std::string& status, const std::string& rname,
                      const std::string& image, const std::string& qname,
                      const std::string& is_default, const std::string& hive,
                      const std::string& key, const std::string& type, const std::string& value) {
  return "<Registry clsid=\"" + kItem + "\" status=\"" + status + "\" name=\"" + rname +
         "\" descr=\"" + kDescr + "\" image=\"" + image + "\"><Properties name=\"" + qname +
         "\" action=\"U\" default=\"" + is_default + "\" hive=\"" + hive + "\" key=\"" + key +
         "\" type=\"" + type + "\" value=\"" + value + "\"/></Registry>";
}
// A ticked value with a name of its own.
std::string Value(const std::string& name, const std::string& image, const std::string& key,
                  const std::string& type, const std::string& value,
                  const std::string& hive = "HKEY_LOCAL_MACHINE") {
  return ValueItem(name, name, image, name, "0", hive, key, type, value);
}
// Shape K: a ticked key.
std::string KeyItem(const std::string& name, const std::string& hive, const std::string& key) {
  return "<Registry clsid=\"" + kItem + "\" name=\"" + name + "\" image=\"2\" descr=\"" + kDescr +
         "\" status=\"" + name + "\"><Properties action=\"U\" default=\"0\" hive=\"" + hive +
         "\" key=\"" + key + "\" name=\"\" type=\"\" value=\"\"/></Registry>";
}
// Shape S: the single selection, always below HKEY_LOCAL_MACHINE here.
std::string SingleItem(const std::string& rname, const std::string& status,
                       const std::string& image, const std::string& qname,
                       const std::string& is_default, const std::string& key,
                       const std::string& type, const std::string& value) {
  return "<Registry clsid=\"" + kItem + "\" name=\"" + rname + "\" status=\"" + status +
         "\" descr=\"" + kDescr + "\" image=\"" + image + "\"><Properties action=\"U\" name=\"" +
         qname + "\" default=\"" + is_default + "\" hive=\"HKEY_LOCAL_MACHINE\" key=\"" + key +
         "\" type=\"" + type + "\" value=\"" + value + "\"/></Registry>";
}

class ExportTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    SetString(HKEY_LOCAL_MACHINE, kX, "A", "a");
    SetValue(HKEY_LOCAL_MACHINE, kX, "B", REG_BINARY, std::string("\x01\x02\xFF", 3));
    SetValue(HKEY_LOCAL_MACHINE, kX, "D", REG_DWORD, "\xFF\xFF\xFF\xFF");
    SetValue(HKEY_LOCAL_MACHINE, kX, "F", REG_DWORD, std::string("\xFF\0\0\0", 4));
    SetString(HKEY_LOCAL_MACHINE, kX, "(default)", "lit");
    MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Y");
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE", "", "sw");
    ASSERT_TRUE(doc_.loadXML("<Root><Existing/></Root>"));
  }
  void ShowTree() { ASSERT_TRUE(control_->Show()); OpenPath(kHklm + "\\SOFTWARE\\X"); }
  // What the export appended after the root's own content. The export runs
  // on a small stack: it must not recurse once per level.
  // `parse_back`: whether a second parser reads the document; libxml2 walks
  // a tree recursively, so it cannot take the deep chain's nesting.
  std::string Export(bool parse_back = true) {
    RunOnSmallStack([&] { control_->GetSelectedDOM(&doc_); });
    if (parse_back) {
      EXPECT_TRUE(testing::WellFormedXml(doc_.xml()));
    }
    std::string text = doc_.documentElement().xml();
    const std::string prefix = "<Root><Existing/>";
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    std::string added = text.substr(prefix.size(), text.size() - prefix.size() - 7);
    EXPECT_TRUE(doc_.loadXML("<Root><Existing/></Root>"));
    return added;
  }

  DOMDocument doc_;
};

TEST_F(ExportTest, WorkedExampleOfMultipleSelection) {
  UseMultiSelect();
  ShowTree();
  Click(kHklm + "\\SOFTWARE\\X");
  Tick("B");
  Tick("A");
  TickNode(kHklm + "\\SOFTWARE\\Y");
  const std::string x_items =
      Value("A", "7", kX, "REG_SZ", "a") + Value("B", "17", kX, "REG_BINARY", "0102FF");
  const std::string y = KeyItem("Y", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Y");
  EXPECT_EQ(Export(), Collection("HKEY_LOCAL_MACHINE",
                                 Collection("SOFTWARE", Collection("X", x_items) + y)));
  EXPECT_EQ(control_->Selection().Count(), 0);
  // A second export: the marks and the ticked key remain, the values are gone.
  EXPECT_EQ(Export(),
            Collection("HKEY_LOCAL_MACHINE", Collection("SOFTWARE", Collection("X", "") + y)));
  ExpectNoMessages();
}

TEST_F(ExportTest, MultipleSelectionSpecialValuesAndHiveRoots) {
  UseMultiSelect();
  SetString(HKEY_USERS, "", "", "hivedefault");
  SetValue(HKEY_USERS, "", "HD", REG_DWORD, std::string("\x10\0\0\0", 4));
  SetValue(HKEY_LOCAL_MACHINE, kX, "Z", REG_DWORD, "");  // no data
  SetValue(HKEY_LOCAL_MACHINE, kX, "M", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
  // Binary data whose text runs far past 32,767 characters.
  SetValue(HKEY_LOCAL_MACHINE, kX, "Big", REG_BINARY, std::string(20000, '\x7F'));
  std::string big_hex;
  while (big_hex.size() < 40000) big_hex += "7F";
  ShowTree();
  Click(kHklm + "\\SOFTWARE\\X");
  for (const char* row : {"Z", "D", "Big", "M", "(default)*"}) Tick(row);
  Click(kHklm + "\\SOFTWARE");
  Tick("(default)");
  Open(kHku);
  Click(kHku);
  Tick("(default)");
  Tick("HD");
  TickNode(kHku + "\\.DEFAULT");

  const std::string hklm = Collection(
      "HKEY_LOCAL_MACHINE",
      Collection("SOFTWARE",
                 ValueItem("(default)", "SOFTWARE", "7", "", "1", "HKEY_LOCAL_MACHINE",
                           "SOFTWARE", "REG_SZ", "sw") +
                     Collection("X", Value("(default)", "7", kX, "REG_SZ", "lit") +
                                         Value("Big", "17", kX, "REG_BINARY", big_hex) +
                                         Value("D", "12", kX, "REG_DWORD", "FFFFFFFF") +
                                         Value("M", "7", kX, "REG_MULTI_SZ", "a\\0b") +
                                         Value("Z", "12", kX, "REG_DWORD", ""))));
  const std::string hku = Collection(
      "HKEY_USERS", ValueItem("(default)", "Hive", "7", "", "1", "HKEY_USERS", "", "REG_SZ",
                              "hivedefault") +
                        Value("HD", "12", "", "REG_DWORD", "10", "HKEY_USERS") +
                        KeyItem(".DEFAULT", "HKEY_USERS", ".DEFAULT"));
  EXPECT_EQ(Export(), hklm + hku);
  ExpectNoMessages();
}

// Every type code, as a person ticks and exports it: the row (type word and
// data) and the exported value, in the order the records are filed (by name).
TEST_F(ExportTest, EveryTypeShowsAndExportsItsWholeData) {
  struct Case {
    std::string name;
    DWORD type;
    std::string data, word, shown, exported;
    std::string xml_name = "";  // the name as the document carries it, where it differs
  };
  using namespace std::string_literals;
  const std::vector<Case> cases = {
      {"t00", 0, "zz", "REG_NONE", "7A 7A ", "7A 7A "},
      {"t01", 1, "s\0"s, "REG_SZ", "s", "s"},
      {"t02", 2, "%NOPE%\0"s, "REG_EXPAND_SZ", "%NOPE%", "%NOPE%"},
      {"t03", 3, "\x01\xAB", "REG_BINARY", "01 AB ", "01AB"},
      {"t04", 4, "\xFE\xFF\xFF\xFF", "REG_DWORD", "-2", "FFFFFFFE"},
      {"t05", 5, "\0\0\x01\0"s, "REG_DWORD", "256", "100"},
      {"t05m", 5, "\xFF\xFF\xFF\xFE", "REG_DWORD", "-2", "FFFFFFFE"},
      {"t05s", 5, "\x01\x02\x03", "REG_DWORD", "01 02 03 ", "01 02 03 "},
      {"t06", 6, "L\0i\0"s, "REG_MULTISZ", "4C 00 69 00 ", "4C 00 69 00 "},
      {"t07", 7, "a\0b\0c\0\0"s, "REG_MULTI_SZ", "a\\0b\\0c", "a\\0b\\0c"},
      {"t07e", 7, "a\0\0b\0\0"s, "REG_MULTI_SZ", "a\\0\\0b", "a\\0\\0b"},
      {"t08", 8, "\x01", "REG_NONE", "01 ", "01 "},
      {"t09", 9, "\x02\0"s, "", "02 00 ", "02 00 "},
      {"t10", 10, "\x7F", "REG_NONE", "7F ", "7F "},
      {"t11", 11, "\x0B\0\0\0\0\0\0\x80"s, "REG_NONE", "0B 00 00 00 00 00 00 80 ",
       "0B 00 00 00 00 00 00 80 "},
      {"t12", 0xffff0007, "\x05\0"s, "REG_NONE", "05 00 ", "05 00 "},
      // Text XML cannot carry, in a name and in data, in its printable form:
      // a literal backslash before "x" or "0" is written as an escaped byte.
      {"u\x01\xEF\xBF\xBF", 1, "x\x01y\\x\xEF\xBF\xBE\0"s, "REG_SZ", "x\\x01y\\x5Cx\\xEF\\xBF\\xBE",
       "x\\x01y\\x5Cx\\xEF\\xBF\\xBE", "u\\x01\\xEF\\xBF\\xBF"},
      {"u\\0", 7, "p\\0q\0\x02\0\0"s, "REG_MULTI_SZ", "p\\x5C0q\\0\\x02",
       "p\\x5C0q\\0\\x02", "u\\x5C0"},
  };
  const std::string t = "SOFTWARE\\T\x01";  // a key name XML cannot carry either
  for (const Case& c : cases) SetValue(HKEY_LOCAL_MACHINE, t, c.name, c.type, c.data);
  UseMultiSelect();
  ASSERT_TRUE(control_->Show());
  OpenPath(kHklm + "\\SOFTWARE");
  Click(kHklm + "\\" + ToUpper(t));
  std::string items;
  for (const Case& c : cases) {
    ASSERT_TRUE(Row(c.name)) << c.name;
    EXPECT_EQ(Row(c.name)->SubItems(1) + "|" + Row(c.name)->SubItems(2), c.word + "|" + c.shown)
        << c.name;
    Tick(c.name);
    const std::string image = c.word == "REG_SZ" || c.word == "REG_MULTI_SZ" ? "7"
                              : c.word == "REG_DWORD"                        ? "12"
                              : c.word == "REG_BINARY"                       ? "17"
                                                                             : "2";
    items += Value(c.xml_name.empty() ? c.name : c.xml_name, image, "SOFTWARE\\T\\x01", c.word,
                   c.exported);
  }
  EXPECT_EQ(Export(), Collection("HKEY_LOCAL_MACHINE",
                                 Collection("SOFTWARE", Collection("T\\x01", items))));
  ExpectNoMessages();
}

TEST_F(ExportTest, KeyNamedLikeAHiveGetsNoneOfTheHivesValues) {
  UseMultiSelect();
  MakeKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\HKEY_USERS");
  SetString(HKEY_USERS, "", "HiveValue", "h");
  ShowTree();
  Open(kHklm + "\\SOFTWARE");
  Open(kHku);
  Click(kHku);
  Tick("HiveValue");
  TickNode(kHklm + "\\SOFTWARE\\HKEY_USERS");
  // The hive's value appears once, in the hive's own Collection.
  EXPECT_EQ(Export(), Collection("HKEY_LOCAL_MACHINE",
                                 Collection("SOFTWARE", KeyItem("HKEY_USERS", "HKEY_LOCAL_MACHINE",
                                                                "SOFTWARE\\HKEY_USERS"))) +
                          Collection("HKEY_USERS",
                                     Value("HiveValue", "7", "", "REG_SZ", "h", "HKEY_USERS")));
}

TEST_F(ExportTest, DeepChainExportsAsNestedCollections) {
  UseMultiSelect();
  ASSERT_TRUE(control_->Show());
  constexpr int kLevels = 100000;
  Node(kHklm)->Image("SELECTKEY");
  AddChain(kHklm, kLevels, /*marked=*/true)->Checked(true);
  std::string key = "k", opens, closes;
  for (int i = 1; i < kLevels; ++i) key += "\\k";
  for (int i = 0; i < kLevels; ++i) opens += OpenTag("k") + ">", closes += "</Collection>";
  // A value picked at the bottom, and one half-way down.
  const std::string half = key.substr(0, kLevels - 1);  // kLevels / 2 levels
  FileValue("HKEY_LOCAL_MACHINE\\" + key, "HKEY_LOCAL_MACHINE", key);
  FileValue("hkey_local_machine\\" + half, "HKEY_LOCAL_MACHINE", half);
  const std::string added = Export(/*parse_back=*/false);
  opens.insert(opens.size() / 2, Value("V", "7", half, "REG_SZ", "v"));
  EXPECT_TRUE(added == OpenTag("HKEY_LOCAL_MACHINE") + ">" + opens +
                           KeyItem("k", "HKEY_LOCAL_MACHINE", key) +
                           Value("V", "7", key, "REG_SZ", "v") + closes + "</Collection>");
  ExpectNoMessages();
}

TEST_F(ExportTest, MultipleSelectionWithNothingOrNoDocument) {
  UseMultiSelect();
  ShowTree();
  EXPECT_EQ(Export(), "");
  Click(kHklm + "\\SOFTWARE\\X");
  Tick("A");
  control_->GetSelectedDOM(nullptr);
  ExpectOneMessage("Uncaught error occurred in PopulateDomWithMultipleItems()");
  EXPECT_EQ(control_->Selection().Count(), 0);

  // Before any Show the tree is empty.
  ctlRegistry fresh(loop_, messages_);
  UseMultiSelect(fresh);
  fresh.GetSelectedDOM(&doc_);
  EXPECT_EQ(messages_.Messages().back(),
            (toolkit::RecordedMessage{"Error occurred in GetSelectedDOM()", 16,
                                      "Uncaught Exception"}));
}

TEST_F(ExportTest, SingleSelectionShapes) {
  ShowTree();
  const std::string sw = kHklm + "\\SOFTWARE";
  // A key to click and a row to click, or none, and what the export gives then.
  struct Step {
    std::string key, row, expected;
  } steps[] = {
      {kHklm, "", ""},  // only a hive clicked: nothing
      {sw, "(default)", SingleItem("SOFTWARE", "(default)", "7", "", "1", "SOFTWARE", "REG_SZ", "sw")},
      // The same key again: the row stays selected, but no value is current.
      {sw, "", SingleItem("SOFTWARE", "SOFTWARE", "7", "", "0", "SOFTWARE", "REG_SZ", "sw")},
      {sw + "\\X", "(default)*",
       SingleItem("(default)", "(default)", "7", "(default)", "0", kX, "REG_SZ", "lit")},
      {"", "B", SingleItem("B", "B", "17", "B", "0", kX, "REG_BINARY", "0102FF")},
      {"", "F", SingleItem("F", "F", "12", "F", "0", kX, "REG_DWORD", "FF")},
      {"", "D", SingleItem("D", "D", "12", "D", "0", kX, "REG_DWORD", "FFFFFFFF")},
      // Twice in a row gives the same: single selection keeps no state.
      {"", "", SingleItem("D", "D", "12", "D", "0", kX, "REG_DWORD", "FFFFFFFF")},
      // A row without data, with and without a value name current.
      {sw + "\\Y", "(default)", SingleItem("Y", "(default)", "7", "", "1", "SOFTWARE\\Y", "REG_SZ", "")},
      {sw + "\\Y", "", SingleItem("Y", "Y", "2", "", "0", "SOFTWARE\\Y", "REG_SZ", "")},
  };
  for (const Step& step : steps) {
    if (!step.key.empty()) Click(step.key);
    if (!step.row.empty()) List().UserClickItem(Row(step.row));
    EXPECT_EQ(Export(), step.expected) << step.key << " " << step.row;
  }

  // A document without a root element: the writer's message, nothing else.
  DOMDocument bare;
  List().UserClickItem(Row("(default)"));
  control_->GetSelectedDOM(&bare);
  ExpectOneMessage("Uncaught error occurred in PopulateDomWithSingleItem()");
}

}  // namespace
}  // namespace qvr
