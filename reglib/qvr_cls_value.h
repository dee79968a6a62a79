// qvrClsValue: one registry value of one key, as an object that reads and
// writes itself.
//
// While AutoSet is true (as it is on creation) the value's data is fetched
// from the registry the first time Value is read, and written back at once
// when Value is assigned; the registry type written follows the kind of host
// value assigned (see qvrClsRegistryObject::SetValue), not DataType. EnumValues
// makes these objects fully set up, so each already holds its data. Clients
// cannot create them.
//
// A value refers back to its collection without owning it (Parent gives
// nullptr once the collection has ended); it keeps the registry object through
// which it reads and writes.
#ifndef QVR_REGLIB_QVR_CLS_VALUE_H_
#define QVR_REGLIB_QVR_CLS_VALUE_H_

#include <memory>
#include <string>
#include <string_view>

#include "registry/registry_api.h"
#include "automation/variant.h"
#include "reglib/registry_data_types.h"

namespace qvr {

class qvrClsValues;
class qvrClsRegistryObject;
namespace reglib_internal {
class ModelAccess;
}

class qvrClsValue : public Object, public std::enable_shared_from_this<qvrClsValue> {
  struct Token {
    explicit Token() = default;
  };

 public:
  explicit qvrClsValue(Token) {}
  qvrClsValue(const qvrClsValue&) = delete;
  qvrClsValue& operator=(const qvrClsValue&) = delete;

  // Members, in the order of the automation interface.

  // The host value. Reading loads it from the registry first when it was
  // never loaded and AutoSet is true; later reads return the held value
  // (GetValue refreshes it). Assigning stores it and, with AutoSet, writes it
  // to the registry at once.
  const Variant& Value();
  void Value(Variant vData);

  // Whether the object loads and stores itself. Switching it on loads the
  // value when it was never loaded.
  bool AutoSet() const { return auto_set_; }
  void AutoSet(bool vData);

  // True when the object stands for the key's default (unnamed) value.
  // Marking an unnamed value object default loads it when it was never loaded
  // and AutoSet is true.
  bool Default() const { return default_; }
  void Default(bool vData);

  // The handle of the key that holds the value.
  HKEY ParentKey() const { return parent_key_; }
  // The collection that holds the value, when it has one.
  std::shared_ptr<qvrClsValues> Parent() const { return parent_.lock(); }
  // The size of the host value, computed after each load: a String's length in
  // characters, Integer 2, Long/Single/Boolean/object 4, Double/Date 8, Byte 1,
  // an array of Bytes its upper bound + 1, another array (upper bound + 1) x
  // the length of its first element's text; after loading Empty it keeps its
  // previous value; 0 for any other kind, and 0 until the first load.
  int32_t Size() const { return size_; }
  // The value's name; "" for the default value (the default member). A value
  // listed under a name already taken in its collection shows "*" appended,
  // yet still reads and writes the value it was listed for.
  const std::string& ValueName() const { return value_name_; }
  // The registry type the enumeration reported.
  RegistryDataTypes DataType() const { return data_type_; }

  // Loads Value from the registry (Empty for a value that is absent) and
  // recomputes Size. Does nothing without a registry object.
  void GetValue();
  // Writes Value to the registry; failures are not reported. Does nothing
  // without a registry object.
  void SetValue();
  // Empties Value (Size and the loaded state stay).
  void Clear();

  // The name of DataType: "REG_SZ"/"String", "REG_EXPAND_SZ"/"String With
  // Environment Variables", "REG_BINARY"/"Binary", "REG_DWORD"/"DWord" (4, 5),
  // "REG_MULTISZ" (6) and "REG_MULTI_SZ" (7)/"Multiple Strings", "" for 9,
  // "REG_NONE"/"None" for any other code; the second word when `Friendly`.
  std::string TypeWord(bool Friendly = false) const;

 private:
  friend class reglib_internal::ModelAccess;

  // True when the object names exactly one value: a named value not marked
  // default, or the unnamed value marked default.
  bool NamesOneValue() const { return value_name_.empty() == default_; }
  // Sets the name shown and the name the registry knows the value by; loads
  // the value when the shown name changed and the value can be reached.
  void Rename(std::string_view shown, std::string_view registry_name);

  bool default_ = false;
  std::shared_ptr<qvrClsRegistryObject> registry_;
  std::weak_ptr<qvrClsValues> parent_;
  RegistryDataTypes data_type_ = rdNone;
  std::string value_name_;
  // The name the registry knows the value by; differs from value_name_ only
  // for a value listed with "*" appended.
  std::string registry_name_;
  HKEY parent_key_ = 0;
  int32_t size_ = 0;
  bool loaded_ = false;
  bool auto_set_ = true;
  Variant value_;
};

}  // namespace qvr

#endif  // QVR_REGLIB_QVR_CLS_VALUE_H_
