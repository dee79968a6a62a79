#include "xml/dom_document.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "automation/automation_error.h"
#include "xml/xml_chars.h"
#include "xml/xml_names.h"

namespace qvr {
namespace {
constexpr const char* kDetachedName = "qvr-detached";
constexpr unsigned kLoadOptions = pugi::parse_default | pugi::parse_declaration;

std::string At(const char* what, ptrdiff_t offset) {
  return std::string(what) + " at offset " + std::to_string(offset);
}

bool IsVersion(std::string_view v) {
  return v.size() > 2 && v.starts_with("1.") &&
         v.find_first_not_of("0123456789", 2) == std::string_view::npos;
}

bool IsEncodingName(std::string_view v) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  auto rest = [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-'; };
  return !v.empty() && letter(v[0]) && std::all_of(v.begin(), v.end(), rest);
}

// A declaration pugixml keeps may sit after the root or hold any attributes;
// written back, either would make the text unreadable. Only version, then
// encoding and standalone, each optional but the first, may be there.
bool IsGoodDeclaration(pugi::xml_node declaration) {
  pugi::xml_attribute a = declaration.first_attribute();
  if (!a || std::string_view(a.name()) != "version" || !IsVersion(a.value())) return false;
  a = a.next_attribute();
  if (a && std::string_view(a.name()) == "encoding") {
    if (!IsEncodingName(a.value())) return false;
    a = a.next_attribute();
  }
  if (a && std::string_view(a.name()) == "standalone") {
    if (std::string_view(a.value()) != "yes" && std::string_view(a.value()) != "no") return false;
    a = a.next_attribute();
  }
  return !a;
}

// What pugixml accepts but XML does not, beyond characters (checked on the
// input): names that are no XML names, an attribute given twice, a second
// root element, a misplaced or malformed declaration. "" when there is none.
std::string FindIllFormedNode(const pugi::xml_document& doc) {
  int roots = 0;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_declaration && (n != doc.first_child() || !IsGoodDeclaration(n))) {
      return At("Invalid XML declaration", n.offset_debug());
    }
    if (n.type() == pugi::node_element && ++roots > 1) {
      return At("More than one document element", n.offset_debug());
    }
  }
  std::vector<pugi::xml_node> pending{doc.document_element()};
  std::vector<const char*> names;  // one element's attribute names, sorted to find twins
  auto less = [](const char* a, const char* b) { return std::strcmp(a, b) < 0; };
  auto same = [](const char* a, const char* b) { return std::strcmp(a, b) == 0; };
  while (!pending.empty()) {
    pugi::xml_node e = pending.back();
    pending.pop_back();
    if (!IsXmlName(e.name())) return At("Invalid name", e.offset_debug());
    names.clear();
    for (pugi::xml_attribute a = e.first_attribute(); a; a = a.next_attribute()) {
      if (!IsXmlName(a.name())) return At("Invalid attribute name", e.offset_debug());
      names.push_back(a.name());
    }
    std::sort(names.begin(), names.end(), less);
    if (std::adjacent_find(names.begin(), names.end(), same) != names.end()) {
      return At("Duplicate attribute", e.offset_debug());
    }
    for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling()) {
      if (c.type() == pugi::node_element) pending.push_back(c);
    }
  }
  return "";
}
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
  // pugixml reads control characters, raw or as references, and keeps what
  // no XML parser would; such a document is refused before it is held.
  if (const size_t bad = FindNonXmlCharInDocument(text); bad != std::string_view::npos) {
    parse_error_ = At("Character that XML 1.0 cannot carry", static_cast<ptrdiff_t>(bad));
    return false;
  }
  pugi::xml_parse_result result = doc_.load_buffer(text.data(), text.size(), kLoadOptions,
                                                   pugi::encoding_utf8);
  if (result) parse_error_ = FindIllFormedNode(doc_);
  if (!result || !parse_error_.empty()) {
    if (!result) parse_error_ = At(result.description(), result.offset);
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
