#include "xml/dom_element.h"

#include <sstream>

#include "automation/automation_error.h"
#include "xml/dom_document.h"
#include "xml/xml_chars.h"
#include "xml/xml_names.h"

namespace qvr {

void DOMElement::ThrowNothing() { throw errors::ObjectVariableNotSet("DOMElement"); }

std::string DOMElement::tagName() const {
  RequireElement();
  return node_.name();
}

void DOMElement::setAttribute(std::string_view name, std::string_view value) {
  RequireElement();
  // Checked on the whole text, so a NUL inside it is refused, not cut at.
  if (!IsXmlName(name)) throw errors::InvalidProcedureCall("DOMElement");
  // Attribute names are short: this copy stays on the stack.
  const std::string key(name);
  SetValidAttribute(key.c_str(), value);
}

void DOMElement::setAttribute(const char* name, std::string_view value) {
  RequireElement();
  if (!IsXmlName(name)) throw errors::InvalidProcedureCall("DOMElement");
  SetValidAttribute(name, value);
}

void DOMElement::SetValidAttribute(const char* name, std::string_view value) {
  // pugixml would write such a character raw or as a reference that no
  // parser reads back, and the whole document would be lost to its reader.
  if (FindNonXmlChar(value) != std::string_view::npos) {
    throw AutomationError(errors::kInvalidProcedureCall, "DOMElement", kNotCarriedText);
  }
  pugi::xml_attribute attribute = node_.attribute(name);
  if (!attribute) attribute = node_.append_attribute(name);
  // The sized form spares pugixml measuring the value again.
  attribute.set_value(value.data(), value.size());
}

std::string DOMElement::getAttribute(std::string_view name) const {
  RequireElement();
  return node_.attribute(std::string(name).c_str()).value();
}

std::vector<std::pair<std::string, std::string>> DOMElement::attributes() const {
  RequireElement();
  std::vector<std::pair<std::string, std::string>> result;
  for (pugi::xml_attribute a : node_.attributes()) result.emplace_back(a.name(), a.value());
  return result;
}

DOMElement DOMElement::appendChild(const DOMElement& child) {
  RequireElement();
  child.RequireElement();
  // pugixml refuses a node of another document and a move into the node's
  // own subtree (it walks the ancestors itself); this element's document must
  // match too, since two documents never share nodes.
  if (child.document_ != document_) throw errors::InvalidProcedureCall("DOMElement");
  pugi::xml_node moved = node_.append_move(child.node_);
  if (!moved) throw errors::InvalidProcedureCall("DOMElement");
  return DOMElement(document_, moved);
}

DOMElement DOMElement::parentElement() const {
  RequireElement();
  pugi::xml_node parent = node_.parent();
  if (parent.type() != pugi::node_element || parent == document_->detached_) return {};
  return DOMElement(document_, parent);
}

DOMElement DOMElement::firstChild() const {
  RequireElement();
  for (pugi::xml_node n = node_.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element) return DOMElement(document_, n);
  }
  return {};
}

DOMElement DOMElement::nextSibling() const {
  RequireElement();
  if (node_.parent() == document_->detached_ || node_.parent() == document_->doc_) return {};
  for (pugi::xml_node n = node_.next_sibling(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element) return DOMElement(document_, n);
  }
  return {};
}

std::vector<DOMElement> DOMElement::childElements() const {
  std::vector<DOMElement> result;
  for (DOMElement e = firstChild(); e; e = e.nextSibling()) result.push_back(e);
  return result;
}

std::string DOMElement::xml() const {
  RequireElement();
  std::ostringstream out;
  node_.print(out, "", pugi::format_raw);
  return out.str();
}

}  // namespace qvr
