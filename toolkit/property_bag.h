// PropertyBag: the persisted properties of a control, as its container keeps
// them, with a text form the container can store and read back.
//
// WriteProperty keeps a value only when it differs from the default given,
// as containers do; ReadProperty gives the stored value or the default. Names
// compare without regard to case. Values of the kinds Long, Integer, Byte,
// Boolean, Single, Double and String are kept; others raise 13 (type
// mismatch).
//
// Text form: one property a line, in the order first written,
//   Name=Type:Value
// with Type one of Long, Integer, Byte, Boolean, Single, Double, String.
// Numbers are written in the C locale (so a bag reads back the same anywhere);
// in strings "\" , newline, carriage return and tab are written as "\\",
// "\n", "\r" and "\t". Blank lines and lines starting with "#" are ignored.
#ifndef QVR_TOOLKIT_PROPERTY_BAG_H_
#define QVR_TOOLKIT_PROPERTY_BAG_H_

#include <string>
#include <string_view>
#include <vector>

#include "automation/variant.h"

namespace qvr::toolkit {

class PropertyBag {
 public:
  // The stored value of `Name`, or `DefaultValue` when none is stored.
  Variant ReadProperty(std::string_view Name, const Variant& DefaultValue = Variant()) const;
  // Stores `Value` under `Name`; a value equal to `DefaultValue` (same kind and
  // value) removes any stored one instead. A name that is empty or holds "=",
  // a newline or a carriage return raises 5.
  void WriteProperty(std::string_view Name, const Variant& Value,
                     const Variant& DefaultValue = Variant());

  bool Contains(std::string_view Name) const;
  size_t Count() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

  // The text form described above.
  std::string ToText() const;
  // Replaces the contents with those of a text form. Returns false, leaving
  // the bag unchanged, when the text is not a valid text form.
  bool FromText(std::string_view text);

 private:
  struct Entry {
    std::string name;
    Variant value;
  };
  const Entry* Find(std::string_view name) const;

  std::vector<Entry> entries_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_PROPERTY_BAG_H_
