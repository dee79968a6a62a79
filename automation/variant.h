// Variant: the host values that cross the automation interfaces.
//
// A Variant holds one of the kinds below, identified by its variant type code
// (the codes a host language reports for VarType). Arrays carry vbArray (8192)
// added to the code of their elements. Copies are values: copying an array
// copies its elements (they share storage until one of them changes).
//
//   vbEmpty 0, vbNull 1, vbInteger 2 (16-bit), vbLong 3 (32-bit), vbSingle 4,
//   vbDouble 5, vbCurrency 6, vbDate 7, vbString 8, vbObject 9, vbError 10,
//   vbBoolean 11, vbVariant 12 (array elements only), vbDecimal 14, vbByte 17.
//
// The text form (ToText) is the host's general form in the user's locale: the
// locale's decimal separator for numbers, its short date and time formats for
// dates, "True"/"False" for Booleans.
#ifndef QVR_AUTOMATION_VARIANT_H_
#define QVR_AUTOMATION_VARIANT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qvr {

enum VarType : uint16_t {
  vbEmpty = 0,
  vbNull = 1,
  vbInteger = 2,
  vbLong = 3,
  vbSingle = 4,
  vbDouble = 5,
  vbCurrency = 6,
  vbDate = 7,
  vbString = 8,
  vbObject = 9,
  vbError = 10,
  vbBoolean = 11,
  vbVariant = 12,
  vbDecimal = 14,
  vbByte = 17,
  vbArray = 0x2000,
};

// Base of every automation object a Variant can hold.
class Object {
 public:
  virtual ~Object() = default;
};

// Currency: a fixed-point number with four decimals, held as value x 10,000.
struct Currency {
  int64_t scaled = 0;
  bool operator==(const Currency&) const = default;
};

// Date: days since 30 December 1899 (the fraction is the time of day).
struct Date {
  double serial = 0;
  bool operator==(const Date&) const = default;
};

// Decimal: a 96-bit integer scaled by 10^-scale (scale 0..28), with a sign.
struct Decimal {
  unsigned __int128 magnitude = 0;  // below 2^96
  uint8_t scale = 0;
  bool negative = false;
  bool operator==(const Decimal&) const = default;
};

// Error: an error value (for example a missing optional argument).
struct ErrorValue {
  int32_t code = 0;
  bool operator==(const ErrorValue&) const = default;
};

class Variant;

// The storage of an array value: element kind, lower bound and elements.
struct VariantArray {
  VarType element_type = vbVariant;
  int32_t lower_bound = 0;
  std::vector<Variant> elements;
};

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(int16_t v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(float v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(Currency v) : value_(v) {}
  Variant(Date v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(bool v) : value_(v) {}
  Variant(uint8_t v) : value_(v) {}
  Variant(Decimal v) : value_(v) {}
  Variant(ErrorValue v) : value_(v) {}
  Variant(std::shared_ptr<Object> v) : value_(std::move(v)) {}

  static Variant Null();
  // Arrays. The element type is that of the elements given (vbVariant for a
  // mixed array).
  static Variant StringArray(std::vector<std::string> items, int32_t lower_bound = 0);
  static Variant ByteArray(const std::vector<uint8_t>& bytes, int32_t lower_bound = 0);
  static Variant Array(VarType element_type, std::vector<Variant> items, int32_t lower_bound = 0);

  // The variant type code (vbArray + element code for arrays).
  uint16_t Type() const;
  // The name the host gives the type ("Long", "String", "String()", ...).
  std::string TypeName() const;

  bool IsEmpty() const { return value_.index() == 0; }
  bool IsNull() const;
  bool IsString() const { return std::holds_alternative<std::string>(value_); }
  bool IsObject() const { return std::holds_alternative<std::shared_ptr<Object>>(value_); }
  bool IsArray() const { return std::holds_alternative<std::shared_ptr<const VariantArray>>(value_); }
  bool IsNumeric() const;  // Integer, Long, Single, Double, Currency, Decimal, Byte, Boolean

  // Direct access; each requires the matching kind (checked with the Is... or
  // Type(); a wrong kind raises 13).
  const std::string& AsString() const;
  std::shared_ptr<Object> AsObject() const;
  const VariantArray& AsArray() const;
  int32_t LBound() const { return AsArray().lower_bound; }
  int32_t UBound() const {
    return AsArray().lower_bound + static_cast<int32_t>(AsArray().elements.size()) - 1;
  }

  // Typed read of a scalar; empty when the Variant holds another kind.
  template <class T>
  std::optional<T> Get() const {
    if (auto p = std::get_if<T>(&value_)) return *p;
    return std::nullopt;
  }

  // Conversions as the host's conversion functions do them, raising
  // AutomationError 13 (type mismatch), 6 (overflow) or 94 (Null):
  int32_t ToLong() const;     // CLng: rounds halves to even; numeric texts are parsed
  int16_t ToInteger() const;  // CInt
  double ToDouble() const;    // CDbl
  bool ToBool() const;        // CBool
  std::string ToText() const;  // CStr: the general text form in the user's locale

  // CDbl and CLng for callers that ask first: nothing where they would raise.
  std::optional<double> TryToDouble() const;
  std::optional<int32_t> TryToLong() const;

  // The text form, or nothing for a value that has none (Null, objects,
  // arrays, errors).
  std::optional<std::string> TextForm() const;

  bool operator==(const Variant& other) const;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  using Storage = std::variant<std::monostate, NullTag, int16_t, int32_t, float, double, Currency,
                               Date, std::string, std::shared_ptr<Object>, ErrorValue, bool,
                               Decimal, uint8_t, std::shared_ptr<const VariantArray>>;
  explicit Variant(Storage s) : value_(std::move(s)) {}

  Storage value_;
};

// Formatting helpers used by the text form, exposed for the value list and tests.
// The decimal separator of the user's locale (LC_NUMERIC), "." in the C locale.
std::string LocaleDecimalSeparator();

}  // namespace qvr

#endif  // QVR_AUTOMATION_VARIANT_H_
