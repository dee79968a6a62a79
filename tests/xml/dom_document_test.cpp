#include "xml/dom_document.h"

#include <gtest/gtest.h>


#include "automation/automation_error.h"
#include "support/raised.h"
#include "support/temp_registry.h"

namespace qvr {
namespace {

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
  // An element made but not appended is nowhere in the document.
  EXPECT_EQ(doc.xml().find("Registry"), std::string::npos);
  root.appendChild(r);
  r.appendChild(q);

  EXPECT_EQ(root.xml(),
            "<Items><Registry clsid=\"{Y}\" status=\"s\" name=\"n\"><Properties "
            "value=\"a&lt;b &amp; &quot;c&quot;\"/></Registry></Items>");
  EXPECT_EQ(q.getAttribute("value"), "a<b & \"c\"");
  EXPECT_EQ(q.getAttribute("missing"), "");
  EXPECT_EQ(q.parentElement(), r);
  EXPECT_FALSE(root.parentElement());
}

TEST(DOMDocumentTest, AppendMovesAndRefusesBadTrees) {
  DOMDocument doc;
  ASSERT_TRUE(doc.loadXML("<a><b/><c/></a>"));
  DOMElement a = doc.documentElement();
  DOMElement b = a.firstChild();
  DOMElement c = b.nextSibling();
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

  // Nothing has no members.
  DOMElement nothing;
  EXPECT_EQ(testing::ErrorNumberOf([&] { nothing.setAttribute("x", "y"); }),
            errors::kObjectVariableNotSet);
  // Names must be XML names.
  EXPECT_THROW(doc.createElement("1abc"), AutomationError);
  EXPECT_THROW(doc.createElement(""), AutomationError);
  EXPECT_THROW(a.setAttribute("a b", "v"), AutomationError);
  // A NUL inside a name is refused, not cut at.
  EXPECT_THROW(doc.createElement(std::string_view("ab\0c", 4)), AutomationError);
  EXPECT_THROW(a.setAttribute(std::string_view("ab\0c", 4), "v"), AutomationError);
  EXPECT_THROW(doc.createElement(static_cast<const char*>(nullptr)), AutomationError);
  a.setAttribute(std::string("made"), std::string("here"));
  a.setAttribute("made", "again");
  EXPECT_EQ(a.xml(), "<a made=\"again\"><c><b/></c></a>");
  EXPECT_NO_THROW(doc.createElement("Schlüssel"));
}

TEST(DOMDocumentTest, DocumentElementCanBeSetAndReplaced) {
  DOMDocument doc;
  DOMElement first = doc.createElement("First");
  doc.documentElement(first);
  DOMElement second = doc.createElement("Second");
  doc.documentElement(second);
  EXPECT_EQ(doc.documentElement().tagName(), "Second");
  EXPECT_EQ(doc.xml(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Second />\n");
}

TEST(DOMDocumentTest, LoadAndSaveRoundTripThroughFilesAndText) {
  testing::TempRegistry temp;  // a private folder for the files
  std::string path = temp.Dir() + "/doc.xml";
  DOMDocument doc;
  ASSERT_TRUE(doc.loadXML("<?xml version=\"1.0\"?><Root k=\"v\"><Child/></Root>"));
  DOMElement e = doc.createElement("Registry");
  e.setAttribute("name", "Ünïcödé & more");
  doc.documentElement().appendChild(e);
  ASSERT_TRUE(doc.save(path));

  DOMDocument again;
  ASSERT_TRUE(again.load(path));
  EXPECT_EQ(again.xml(), doc.xml());
  EXPECT_EQ(again.documentElement().childElements().at(1).getAttribute("name"), "Ünïcödé & more");
  // The declaration is written once, whether the text had one or not.
  EXPECT_EQ(doc.xml().find("<?xml"), 0u);
  EXPECT_EQ(doc.xml().find("<?xml", 1), std::string::npos);

  // Failures leave an empty document and say why.
  EXPECT_FALSE(again.loadXML("<Root><open></Root>"));
  EXPECT_FALSE(again.documentElement());
  EXPECT_FALSE(again.parseError().empty());
  EXPECT_FALSE(again.load(temp.Dir() + "/missing.xml"));
  EXPECT_FALSE(doc.save(temp.Dir() + "/no/such/folder/doc.xml"));
}

}  // namespace
}  // namespace qvr
