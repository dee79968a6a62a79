// DOMDocument: an XML document that hosts hand to the browser control, with
// the operations of the published XML DOM that the control uses
// (createElement, setAttribute, appendChild, documentElement) and load and
// save, so that a host can read and write it as a file or as text.
//
// Example:
//   DOMDocument doc;
//   doc.loadXML("<Items/>");
//   DOMElement r = doc.createElement("Registry");
//   r.setAttribute("clsid", "{...}");
//   doc.documentElement().appendChild(r);
//   doc.save("/tmp/items.xml");
//
// Texts are UTF-8. No namespaces; names are case-sensitive. A document is used
// on one thread at a time.
#ifndef QVR_XML_DOM_DOCUMENT_H_
#define QVR_XML_DOM_DOCUMENT_H_

#include <pugixml.hpp>

#include <string>
#include <string_view>

#include "xml/dom_element.h"

namespace qvr {

class DOMDocument {
 public:
  DOMDocument();
  DOMDocument(const DOMDocument&) = delete;
  DOMDocument& operator=(const DOMDocument&) = delete;

  // A new element named `tagName`, not yet in the tree. A name that is not an
  // XML 1.0 Name (see xml/xml_names.h) raises AutomationError 5 ("Invalid
  // procedure call or argument").
  DOMElement createElement(std::string_view tagName);
  // The same for a NUL-terminated name (a literal, say), which spares a copy
  // of the name.
  DOMElement createElement(const char* tagName);

  // The root element; Nothing while the document has none.
  DOMElement documentElement() const;
  // Makes `element` (made by this document) the root element, in place of the
  // previous root, which leaves the tree.
  void documentElement(const DOMElement& element);

  // Replaces the content by the parsed text or file. On a parse error (or a
  // missing file) the document is left empty, false is returned and
  // parseError() describes the failure ("<what> at offset <byte>"). Besides
  // pugixml's own errors, texts that are not well-formed XML 1.0 in ways
  // pugixml lets pass are refused too: "Character that XML 1.0 cannot carry"
  // (raw anywhere or as a character reference; bytes that are not UTF-8),
  // "Invalid name", "Invalid attribute name", "Duplicate attribute", "More
  // than one document element", "Invalid XML declaration". So what the
  // document holds, and xml() and save() write, always reads back. Elements
  // handed out before are no longer valid afterwards.
  bool loadXML(std::string_view text);
  bool load(const std::string& path);
  const std::string& parseError() const { return parse_error_; }

  // The document as text: an XML declaration, then the content, each element
  // on its own line, indented by two spaces.
  std::string xml() const;
  // Writes xml() to the file; false when the file cannot be written.
  bool save(const std::string& path) const;

 private:
  friend class DOMElement;
  void Reset();
  bool Owns(pugi::xml_node node) const;

  pugi::xml_document doc_;
  // Elements made by createElement wait here, inside the same pugixml document,
  // so that appending them is a move rather than a copy. This holder is never
  // part of what the document reports or writes.
  pugi::xml_node detached_;
  std::string parse_error_;
};

}  // namespace qvr

#endif  // QVR_XML_DOM_DOCUMENT_H_
