#include "xml/dom_document.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "automation/automation_error.h"
#include "support/raised.h"
#include "support/temp_registry.h"
#include "support/well_formed.h"

namespace qvr {
namespace {

std::string Trace(std::string_view text) { return ::testing::PrintToString(std::string(text)); }

TEST(DOMDocumentTest, BuildsTreeWithAttributesInCreationOrder) {
  DOMDocument doc;
  EXPECT_FALSE(doc.documentElement());
  ASSERT_TRUE(doc.loadXML("<Items/>"));
  DOMElement root = doc.documentElement();
  ASSERT_TRUE(root);
  EXPECT_EQ(root.tagName(), "Items");

  DOMElement r = doc.createElement("Registry");
  r.setAttribute("clsid", "{X}");
  r.setAttribute("status", "s");
  r.setAttribute("name", "n");
  r.setAttribute("clsid", "{Y}");  // an existing attribute keeps its place
  DOMElement q = doc.createElement("Properties");
  q.setAttribute("value", "a<b & \"c\"");
  EXPECT_EQ(doc.xml().find("Registry"), std::string::npos);  // made, not yet appended
  root.appendChild(r);
  r.appendChild(q);

  EXPECT_EQ(root.xml(),
            "<Items><Registry clsid=\"{Y}\" status=\"s\" name=\"n\"><Properties "
            "value=\"a&lt;b &amp; &quot;c&quot;\"/></Registry></Items>");
  EXPECT_EQ(q.getAttribute("value"), "a<b & \"c\"");
  EXPECT_EQ(q.getAttribute("missing"), "");
  EXPECT_EQ(q.parentElement(), r);
  EXPECT_FALSE(root.parentElement());
  EXPECT_TRUE(testing::WellFormedXml(doc.xml()));
}

// Names that are no XML names: NamesMustBeXmlNames.
TEST(DOMDocumentTest, AppendMovesAndRefusesBadTrees) {
  DOMDocument doc;
  ASSERT_TRUE(doc.loadXML("<a><b/><c/></a>"));
  DOMElement a = doc.documentElement(), b = a.firstChild(), c = b.nextSibling();
  ASSERT_EQ(c.tagName(), "c");
  c.appendChild(b);  // moves b below c
  EXPECT_EQ(a.xml(), "<a><c><b/></c></a>");

  // Cycles, Nothing and elements of other documents are refused.
  EXPECT_THROW(b.appendChild(a), AutomationError);
  EXPECT_THROW(a.appendChild(a), AutomationError);
  EXPECT_THROW(a.appendChild(DOMElement()), AutomationError);
  DOMDocument other;
  EXPECT_THROW(a.appendChild(other.createElement("x")), AutomationError);
  EXPECT_EQ(a.xml(), "<a><c><b/></c></a>");

  DOMElement nothing;
  EXPECT_EQ(testing::ErrorNumberOf([&] { nothing.setAttribute("x", "y"); }),
            errors::kObjectVariableNotSet);
  EXPECT_THROW(doc.createElement(static_cast<const char*>(nullptr)), AutomationError);
  a.setAttribute(std::string("made"), std::string("here"));
  a.setAttribute("made", "again");
  EXPECT_EQ(a.xml(), "<a made=\"again\"><c><b/></c></a>");
  EXPECT_TRUE(testing::WellFormedXml(doc.xml()));
}

TEST(DOMDocumentTest, DocumentElementCanBeSetAndReplaced) {
  DOMDocument doc;
  doc.documentElement(doc.createElement("First"));
  doc.documentElement(doc.createElement("Second"));
  EXPECT_EQ(doc.documentElement().tagName(), "Second");
  EXPECT_EQ(doc.xml(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Second />\n");
  EXPECT_TRUE(testing::WellFormedXml(doc.xml()));
}

// A text that fails to load: LoadRefusesWhatIsNotWellFormedXml.
TEST(DOMDocumentTest, LoadAndSaveRoundTripThroughFilesAndText) {
  testing::TempRegistry temp;  // a private folder for the files
  std::string path = temp.Dir() + "/doc.xml";
  DOMDocument doc;
  ASSERT_TRUE(doc.loadXML("<?xml version=\"1.0\"?><Root k=\"v\"><Child/></Root>"));
  DOMElement e = doc.createElement("Registry");
  e.setAttribute("name", "Ünïcödé & more");
  doc.documentElement().appendChild(e);
  ASSERT_TRUE(doc.save(path));
  std::ifstream saved(path, std::ios::binary);
  EXPECT_TRUE(testing::WellFormedXml(std::string(std::istreambuf_iterator<char>(saved), {})));

  DOMDocument again;
  ASSERT_TRUE(again.load(path));
  EXPECT_EQ(again.xml(), doc.xml());
  EXPECT_EQ(again.documentElement().childElements().at(1).getAttribute("name"), "Ünïcödé & more");
  // The declaration is written once, whether the text had one or not.
  EXPECT_EQ(doc.xml().find("<?xml"), 0u);
  EXPECT_EQ(doc.xml().find("<?xml", 1), std::string::npos);
  EXPECT_FALSE(again.load(temp.Dir() + "/missing.xml"));
  EXPECT_FALSE(doc.save(temp.Dir() + "/no/such/folder/doc.xml"));
}

// Attribute values: one refused for each kind of character XML 1.0 cannot
// carry, and those at the edges of what it carries, which round-trip.
TEST(DOMDocumentTest, ValuesAreRefusedExactlyWhenXmlCannotCarryThem) {
  const std::string_view refused[] = {
      "A\x01" "B",                    // C0 control (the exported REG_SZ of the fault)
      std::string_view("A\0B", 3),    // NUL
      "\x1F", "\x0B", "\x0C",         // the other C0 controls
      "\xEF\xBF\xBE", "\xEF\xBF\xBF",  // U+FFFE, U+FFFF
      "\xED\xA0\x80", "\xED\xBF\xBF",  // lone surrogates
      "\x80", "A\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
      "\xFF",  // invalid UTF-8: stray, cut, overlong, past U+10FFFF, never a lead byte
  };
  const std::string accepted[] = {
      "tab\tcr\rlf\n", "\x7F", "\x20", "Ünïcödé",
      "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBD",  // U+D7FF, U+E000, U+FFFD
      "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",          // U+10000, U+10FFFF
  };
  DOMDocument doc, again;
  ASSERT_TRUE(doc.loadXML("<Items value=\"kept\"/>"));
  DOMElement root = doc.documentElement();
  for (std::string_view value : refused) {
    SCOPED_TRACE(Trace(value));
    AutomationError e = testing::Raised([&] { root.setAttribute("value", value); });
    EXPECT_EQ(e.Number(), errors::kInvalidProcedureCall);
    EXPECT_EQ(e.Description(), DOMElement::kNotCarriedText);
    EXPECT_THROW(root.setAttribute("other", value), AutomationError);
  }
  EXPECT_EQ(root.xml(), "<Items value=\"kept\"/>");

  for (const std::string& value : accepted) root.appendChild(doc.createElement("Item")).setAttribute("value", value);
  const std::string text = doc.xml();
  ASSERT_TRUE(testing::WellFormedXml(text));
  ASSERT_TRUE(again.loadXML(text)) << again.parseError();
  std::vector<DOMElement> items = again.documentElement().childElements();
  ASSERT_EQ(items.size(), std::size(accepted));
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].getAttribute("value"), accepted[i]);
  EXPECT_EQ(again.xml(), text);
}

TEST(DOMDocumentTest, NamesMustBeXmlNames) {
  const std::string_view refused[] = {
      "", "1abc", "-a", ".a", "a b", "a=b", "a\x01", std::string_view("ab\0c", 4),
      "\xC2\xB7" "a",   // U+00B7 follows, never starts
      "\xCC\x80" "a",   // a combining mark cannot start
      "a\xC2\xA0",      // U+00A0 is no name character
      "a\xC3\x97",      // U+00D7, the multiplication sign
      "a\xEF\xBF\xBF",  // U+FFFF
      "a\xED\xA0\x80", "a\xC3", "a\xFF",
  };
  const char* accepted[] = {"Schlüssel", "_x", ":a", "a-b.c9", "a\xC2\xB7", "a\xCC\x80",
                            "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x90\x80\x80", "\xC3\x80"};
  DOMDocument doc;
  ASSERT_TRUE(doc.loadXML("<Items/>"));
  DOMElement root = doc.documentElement();
  for (std::string_view name : refused) {
    SCOPED_TRACE(Trace(name));
    EXPECT_EQ(testing::ErrorNumberOf([&] { doc.createElement(name); }),
              errors::kInvalidProcedureCall);
    EXPECT_EQ(testing::ErrorNumberOf([&] { root.setAttribute(name, "v"); }),
              errors::kInvalidProcedureCall);
    if (name.find('\0') == std::string_view::npos) {  // a NUL would end the C text early
      EXPECT_THROW(doc.createElement(std::string(name).c_str()), AutomationError);
    }
  }
  for (const char* name : accepted) root.appendChild(doc.createElement(name)).setAttribute(name, name);
  EXPECT_TRUE(testing::WellFormedXml(doc.xml())) << doc.xml();
}

TEST(DOMDocumentTest, LoadRefusesWhatIsNotWellFormedXml) {
  const std::string bad = "Character that XML 1.0 cannot carry at offset ";
  const struct {
    std::string_view text;
    std::string error;
  } refused[] = {
      {"<a x=\"A\x01" "B\"/>", bad + "7"}, {"<!-- \x01 --><a/>", bad + "5"},
      {"<a>\xFF</a>", bad + "3"},          {"<a>\xED\xA0\x80</a>", bad + "3"},
      {"<a x='&#0;'/>", bad + "6"},        {"<a>&#1;</a>", bad + "3"},
      {"<a>&#xFFFE;</a>", bad + "3"},      {"<a>&#xD800;</a>", bad + "3"},
      {"<a>&#x110000;</a>", bad + "3"},    {"<a>&#4294967362;</a>", bad + "3"},
      {"<a>&#12</a>", bad + "3"},          {"<a>&#x;</a>", bad + "3"},
      {"<a\xC2\xA0/>", "Invalid name"},    {"<a b\xC3\x97=''/>", "Invalid attribute name"},
      {"<a x='1' x='2'/>", "Duplicate attribute"},
      {"<a/><b/>", "More than one document element"},
      {"<a/><?xml version='1.0'?>", "Invalid XML declaration"},
      {"<?xml encoding='UTF-8'?><a/>", "Invalid XML declaration"},
      {"<?xml version='1.0' standalone='maybe'?><a/>", "Invalid XML declaration"},
      {"<Root><open></Root>", "Start-end tags mismatch"},
  };
  testing::TempRegistry temp;
  const std::string path = temp.Dir() + "/bad.xml";
  DOMDocument doc;
  for (const auto& c : refused) {
    SCOPED_TRACE(Trace(c.text));
    EXPECT_FALSE(testing::WellFormedXml(std::string(c.text)));  // the table holds no false alarm
    std::ofstream(path, std::ios::binary) << c.text;
    for (bool from_file : {false, true}) {
      ASSERT_TRUE(doc.loadXML("<Before/>"));
      EXPECT_FALSE(from_file ? doc.load(path) : doc.loadXML(c.text));
      EXPECT_TRUE(doc.parseError().starts_with(c.error)) << doc.parseError();
      EXPECT_FALSE(doc.documentElement());
    }
  }
}

TEST(DOMDocumentTest, LoadKeepsWellFormedDocumentsThatOnlyLookSuspect) {
  const std::string_view accepted[] = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><a/>",
      "<a x='&#9;&#x10FFFF;&#xD7FF;'>&#xE000;&#65533;</a>",
      "<a><!-- &#0; --><?pi &#1;?></a>",  // no references there
      "<a><![CDATA[&#0;]]></a>",
      "<a x='\x7F'>\xF4\x8F\xBF\xBF &amp; &#38;#1;</a>",
  };
  for (std::string_view text : accepted) {
    SCOPED_TRACE(Trace(text));
    ASSERT_TRUE(testing::WellFormedXml(std::string(text)));
    DOMDocument doc, again;
    ASSERT_TRUE(doc.loadXML(text)) << doc.parseError();
    ASSERT_TRUE(testing::WellFormedXml(doc.xml())) << doc.xml();
    ASSERT_TRUE(again.loadXML(doc.xml())) << again.parseError();
    EXPECT_EQ(again.xml(), doc.xml());
  }
}

}  // namespace
}  // namespace qvr
