#include "xml/dom_document.h"

#include <fstream>
#include <sstream>

#include "automation/automation_error.h"
#include "xml/xml_names.h"

namespace qvr {
namespace {
constexpr const char* kDetachedName = "qvr-detached";
constexpr unsigned kLoadOptions = pugi::parse_default | pugi::parse_declaration;
}  // namespace

DOMDocument::DOMDocument() { Reset(); }

void DOMDocument::Reset() {
  doc_.reset();
  detached_ = doc_.append_child(kDetachedName);
}

bool DOMDocument::Owns(pugi::xml_node node) const { return node.root() == doc_; }

DOMElement DOMDocument::createElement(std::string_view tagName) {
  // Checked on the whole text, so a NUL inside it is refused, not cut at.
  if (!IsXmlName(tagName)) throw errors::InvalidProcedureCall("DOMDocument");
  return DOMElement(this, detached_.append_child(std::string(tagName).c_str()));
}

DOMElement DOMDocument::createElement(const char* tagName) {
  if (!IsXmlName(tagName)) throw errors::InvalidProcedureCall("DOMDocument");
  return DOMElement(this, detached_.append_child(tagName));
}

DOMElement DOMDocument::documentElement() const {
  for (pugi::xml_node n = doc_.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element && n != detached_) {
      return DOMElement(const_cast<DOMDocument*>(this), n);
    }
  }
  return {};
}

void DOMDocument::documentElement(const DOMElement& element) {
  element.RequireElement();
  if (element.document_ != this || !Owns(element.node_)) {
    throw errors::InvalidProcedureCall("DOMDocument");
  }
  DOMElement old = documentElement();
  if (old == element) return;
  if (old) {
    doc_.insert_move_before(element.node_, old.node_);
    detached_.append_move(old.node_);
  } else {
    doc_.insert_move_before(element.node_, detached_);
  }
}

bool DOMDocument::loadXML(std::string_view text) {
  Reset();
  pugi::xml_parse_result result = doc_.load_buffer(text.data(), text.size(), kLoadOptions,
                                                   pugi::encoding_utf8);
  if (!result) {
    parse_error_ = std::string(result.description()) + " at offset " +
                   std::to_string(result.offset);
    Reset();
    return false;
  }
  parse_error_.clear();
  detached_ = doc_.append_child(kDetachedName);
  return true;
}

bool DOMDocument::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Reset();
    parse_error_ = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return loadXML(text.str());
}

std::string DOMDocument::xml() const {
  std::ostringstream out;
  bool declared = false;
  for (pugi::xml_node n = doc_.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_declaration) declared = true;
  }
  if (!declared) out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  for (pugi::xml_node n = doc_.first_child(); n; n = n.next_sibling()) {
    if (n == detached_) continue;
    n.print(out, "  ", pugi::format_indent);
  }
  return out.str();
}

bool DOMDocument::save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << xml();
  out.close();
  return static_cast<bool>(out);
}

}  // namespace qvr
