// DOMElement: one element of a DOMDocument.
//
// A DOMElement is a light handle (copy it freely) onto an element that lives in
// its document. It stays valid while the document lives and until the
// document's content is replaced by load or loadXML. An element made by
// createElement belongs to its document from the start but is outside the
// document tree until it is appended somewhere with appendChild.
//
// A default-constructed handle refers to no element (the host's Nothing); every
// operation on it raises AutomationError 91 ("Object variable or With block
// variable not set"), as calling through Nothing would.
//
// Attributes keep the order in which they were first set; setting an attribute
// that exists already changes its value in place.
#ifndef QVR_XML_DOM_ELEMENT_H_
#define QVR_XML_DOM_ELEMENT_H_

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvr {

class DOMDocument;

class DOMElement {
 public:
  DOMElement() = default;

  explicit operator bool() const { return document_ != nullptr; }
  bool operator==(const DOMElement& other) const { return node_ == other.node_; }

  // The element's name, as given to createElement.
  std::string tagName() const;

  // Sets the attribute `name` to `value`. A name that is not a valid XML name
  // raises AutomationError 5 ("Invalid procedure call or argument"); a value
  // holding a character that XML 1.0 cannot carry (a control character other
  // than tab, LF and CR, U+FFFE, U+FFFF, an encoded surrogate, bytes that are
  // not UTF-8) raises AutomationError 5 with kNotCarriedText, and the
  // element keeps its attributes as they were.
  void setAttribute(std::string_view name, std::string_view value);
  // The same for a name that is a NUL-terminated text (a literal, say),
  // which spares a copy of the name.
  void setAttribute(const char* name, std::string_view value);
  // The attribute's value; "" when the element has no such attribute.
  std::string getAttribute(std::string_view name) const;
  // Every attribute as (name, value), in creation order.
  std::vector<std::pair<std::string, std::string>> attributes() const;

  // Appends `child` as the last child of this element and returns it. A child
  // that is in the tree already is moved. Raises AutomationError 91 when
  // `child` is Nothing and 5 when it belongs to another document or is this
  // element or one of its ancestors.
  DOMElement appendChild(const DOMElement& child);

  // Navigation over element children, in document order; Nothing at the ends.
  DOMElement parentElement() const;
  DOMElement firstChild() const;
  DOMElement nextSibling() const;
  std::vector<DOMElement> childElements() const;

  // The element and everything below it as XML text, without indentation.
  std::string xml() const;

  // The description of the error raised for a value XML 1.0 cannot carry.
  static constexpr const char* kNotCarriedText =
      "Invalid procedure call or argument: the text holds a character that XML 1.0 cannot carry";

 private:
  friend class DOMDocument;
  // A handle onto no node is Nothing, whatever document it came from.
  DOMElement(DOMDocument* document, pugi::xml_node node)
      : document_(node ? document : nullptr), node_(node) {}
  // Checked before every operation, so it is kept inline and away from the
  // XML library.
  void RequireElement() const {
    if (document_ == nullptr) ThrowNothing();
  }
  [[noreturn]] static void ThrowNothing();
  // setAttribute once the element and the name have been checked; checks the
  // value.
  void SetValidAttribute(const char* name, std::string_view value);

  // nullptr exactly when the handle is Nothing.
  DOMDocument* document_ = nullptr;
  pugi::xml_node node_;
};

}  // namespace qvr

#endif  // QVR_XML_DOM_ELEMENT_H_
