#include "automation/variant.h"

#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "automation/automation_error.h"

namespace qvr {
namespace {

constexpr const char* kSource = "qvrRegistryBrowser";

// Rounds halves to the even neighbour, as the host's integer conversions do.
double RoundHalfEven(double v) {
  double r = std::nearbyint(v);  // the default rounding mode is to nearest, ties to even
  return r;
}

// True for a rounded number beyond what a Long can hold.
bool OutsideLong(double rounded) { return rounded < -2147483648.0 || rounded > 2147483647.0; }

// Replaces the C decimal point of a formatted number with the locale's.
std::string Localize(std::string text) {
  const std::string sep = LocaleDecimalSeparator();
  if (sep != ".") {
    auto pos = text.find('.');
    if (pos != std::string::npos) text.replace(pos, 1, sep);
  }
  return text;
}

// The general form of a floating-point number with `digits` significant
// digits: the shortest text, an exponent where the host writes one.
std::string FormatGeneral(double v, int digits) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", digits, v);
  std::string text = buf;
  // snprintf honours LC_NUMERIC already; normalise to "." first, then localise.
  const std::string sep = LocaleDecimalSeparator();
  if (sep != ".") {
    auto pos = text.find(sep);
    if (pos != std::string::npos) text.replace(pos, sep.size(), ".");
  }
  return Localize(text);
}

std::string FormatDecimal(const Decimal& d) {
  std::string digits;
  unsigned __int128 m = d.magnitude;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m != 0);
  if (d.scale > 0) {
    while (digits.size() <= d.scale) digits.insert(digits.begin(), '0');
    std::string whole = digits.substr(0, digits.size() - d.scale);
    std::string frac = digits.substr(digits.size() - d.scale);
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    digits = frac.empty() ? whole : whole + LocaleDecimalSeparator() + frac;
  }
  bool zero = d.magnitude == 0;
  return (d.negative && !zero ? "-" : "") + digits;
}

std::string FormatCurrency(const Currency& c) {
  Decimal d;
  d.negative = c.scaled < 0;
  d.magnitude = static_cast<unsigned __int128>(c.scaled < 0 ? -(__int128)c.scaled : c.scaled);
  d.scale = 4;
  return FormatDecimal(d);
}

// The locale's short date format, with a two-digit year widened to four.
std::string ShortDateFormat() {
  std::string fmt = nl_langinfo(D_FMT);
  if (fmt.empty()) fmt = "%m/%d/%y";
  for (size_t i = 0; i + 1 < fmt.size(); ++i) {
    if (fmt[i] == '%' && fmt[i + 1] == 'y') fmt[i + 1] = 'Y';
  }
  return fmt;
}

std::string FormatDate(const Date& date) {
  double serial = date.serial;
  double day = std::floor(serial);
  double fraction = serial - day;
  // Negative serials count days backwards but the time still runs forwards.
  if (serial < 0 && fraction != 0) fraction = 1 - fraction, day = std::ceil(serial);
  long long seconds = std::llround(fraction * 86400.0);
  if (seconds >= 86400) seconds = 86399;
  // 30 December 1899 is day 0: 25,569 days before the Unix epoch.
  std::time_t t = static_cast<std::time_t>((static_cast<long long>(day) - 25569) * 86400 + seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[128];
  std::string out;
  if (day != 0 || seconds == 0) {
    std::strftime(buf, sizeof buf, ShortDateFormat().c_str(), &tm);
    out = buf;
  }
  if (seconds != 0) {
    std::string tfmt = nl_langinfo(T_FMT);
    if (tfmt.empty()) tfmt = "%H:%M:%S";
    std::strftime(buf, sizeof buf, tfmt.c_str(), &tm);
    out += out.empty() ? std::string(buf) : " " + std::string(buf);
  }
  return out;
}

double DecimalToDouble(const Decimal& d) {
  double v = static_cast<double>(d.magnitude) / std::pow(10.0, d.scale);
  return d.negative ? -v : v;
}

// Parses numeric text as the host does: the locale's decimal separator,
// surrounding blanks, "&H" hexadecimal and "&O" octal.
std::optional<double> ParseNumber(const std::string& text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return std::nullopt;
  size_t e = text.find_last_not_of(" \t");
  std::string s = text.substr(b, e - b + 1);
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s.c_str() + 2, &end, base);
    if (*end != '\0' || errno != 0 || v > 0xFFFFFFFFull) return std::nullopt;
    // Up to four hex digits form a 16-bit value, more a 32-bit one: both signed.
    if (s.size() - 2 <= 4 && base == 16) return static_cast<double>(static_cast<int16_t>(v));
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
  }
  const std::string sep = LocaleDecimalSeparator();
  if (sep != ".") {
    auto pos = s.find(sep);
    if (pos != std::string::npos) s.replace(pos, sep.size(), ".");
  }
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || *end != '\0') return std::nullopt;
  // strtod takes "inf" and "nan", which are not numbers to the host.
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

// 1 for "True", -1 for "False" (any case, blanks around), 0 otherwise.
int EqualsTrueFalse(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  size_t e = s.find_last_not_of(' ');
  if (b == std::string::npos) return 0;
  std::string t = s.substr(b, e - b + 1);
  for (auto& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (t == "true") return 1;
  if (t == "false") return -1;
  return 0;
}

}  // namespace

Variant Variant::Null() { return Variant(Storage(NullTag{})); }

Variant Variant::StringArray(std::vector<std::string> items, int32_t lower_bound) {
  auto array = std::make_shared<VariantArray>();
  array->element_type = vbString;
  array->lower_bound = lower_bound;
  array->elements.reserve(items.size());
  for (auto& s : items) array->elements.emplace_back(std::move(s));
  return Variant(Storage(std::shared_ptr<const VariantArray>(std::move(array))));
}

Variant Variant::ByteArray(const std::vector<uint8_t>& bytes, int32_t lower_bound) {
  auto array = std::make_shared<VariantArray>();
  array->element_type = vbByte;
  array->lower_bound = lower_bound;
  for (uint8_t b : bytes) array->elements.emplace_back(b);
  return Variant(Storage(std::shared_ptr<const VariantArray>(std::move(array))));
}

Variant Variant::Array(VarType element_type, std::vector<Variant> items, int32_t lower_bound) {
  auto array = std::make_shared<VariantArray>();
  array->element_type = element_type;
  array->lower_bound = lower_bound;
  array->elements = std::move(items);
  return Variant(Storage(std::shared_ptr<const VariantArray>(std::move(array))));
}

uint16_t Variant::Type() const {
  static constexpr uint16_t kCodes[] = {vbEmpty,  vbNull,   vbInteger, vbLong,   vbSingle,
                                        vbDouble, vbCurrency, vbDate,  vbString, vbObject,
                                        vbError,  vbBoolean, vbDecimal, vbByte};
  if (IsArray()) return static_cast<uint16_t>(vbArray | AsArray().element_type);
  return kCodes[value_.index()];
}

std::string Variant::TypeName() const {
  auto name = [](uint16_t code) -> std::string {
    switch (code) {
      case vbEmpty: return "Empty";
      case vbNull: return "Null";
      case vbInteger: return "Integer";
      case vbLong: return "Long";
      case vbSingle: return "Single";
      case vbDouble: return "Double";
      case vbCurrency: return "Currency";
      case vbDate: return "Date";
      case vbString: return "String";
      case vbObject: return "Object";
      case vbError: return "Error";
      case vbBoolean: return "Boolean";
      case vbVariant: return "Variant";
      case vbDecimal: return "Decimal";
      case vbByte: return "Byte";
      default: return "Unknown";
    }
  };
  uint16_t t = Type();
  if (t & vbArray) return name(static_cast<uint16_t>(t & ~vbArray)) + "()";
  return name(t);
}

bool Variant::IsNull() const { return std::holds_alternative<NullTag>(value_); }

bool Variant::IsNumeric() const {
  switch (Type()) {
    case vbInteger: case vbLong: case vbSingle: case vbDouble: case vbCurrency:
    case vbDecimal: case vbByte: case vbBoolean:
      return true;
    default:
      return false;
  }
}

const std::string& Variant::AsString() const {
  if (auto p = std::get_if<std::string>(&value_)) return *p;
  throw errors::TypeMismatch(kSource);
}

std::shared_ptr<Object> Variant::AsObject() const {
  if (auto p = std::get_if<std::shared_ptr<Object>>(&value_)) return *p;
  throw errors::TypeMismatch(kSource);
}

const VariantArray& Variant::AsArray() const {
  if (auto p = std::get_if<std::shared_ptr<const VariantArray>>(&value_)) return **p;
  throw errors::TypeMismatch(kSource);
}

std::optional<double> Variant::TryToDouble() const {
  switch (value_.index()) {
    case 0: return 0.0;
    case 2: return std::get<int16_t>(value_);
    case 3: return std::get<int32_t>(value_);
    case 4: return std::get<float>(value_);
    case 5: return std::get<double>(value_);
    case 6: return static_cast<double>(std::get<Currency>(value_).scaled) / 10000.0;
    case 7: return std::get<Date>(value_).serial;
    case 8: {
      const std::string& s = std::get<std::string>(value_);
      if (auto v = ParseNumber(s)) return *v;
      if (EqualsTrueFalse(s) != 0) return EqualsTrueFalse(s) > 0 ? -1 : 0;
      return std::nullopt;
    }
    case 11: return std::get<bool>(value_) ? -1 : 0;
    case 12: return DecimalToDouble(std::get<Decimal>(value_));
    case 13: return std::get<uint8_t>(value_);
    default: return std::nullopt;  // Null, objects, error values, arrays
  }
}

double Variant::ToDouble() const {
  if (std::optional<double> number = TryToDouble()) return *number;
  if (IsNull()) throw errors::InvalidUseOfNull(kSource);
  throw errors::TypeMismatch(kSource);
}

std::optional<int32_t> Variant::TryToLong() const {
  std::optional<double> number = TryToDouble();
  if (!number) return std::nullopt;
  double r = RoundHalfEven(*number);
  if (OutsideLong(r)) return std::nullopt;
  return static_cast<int32_t>(r);
}

int32_t Variant::ToLong() const {
  double r = RoundHalfEven(ToDouble());
  if (OutsideLong(r)) throw errors::Overflow(kSource);
  return static_cast<int32_t>(r);
}

int16_t Variant::ToInteger() const {
  double r = RoundHalfEven(ToDouble());
  if (r < -32768.0 || r > 32767.0) throw errors::Overflow(kSource);
  return static_cast<int16_t>(r);
}

bool Variant::ToBool() const {
  if (auto p = std::get_if<bool>(&value_)) return *p;
  return ToDouble() != 0;
}

std::optional<std::string> Variant::TextForm() const {
  switch (value_.index()) {
    case 0: return std::string();
    case 2: return std::to_string(std::get<int16_t>(value_));
    case 3: return std::to_string(std::get<int32_t>(value_));
    case 4: return FormatGeneral(std::get<float>(value_), 7);
    case 5: return FormatGeneral(std::get<double>(value_), 15);
    case 6: return FormatCurrency(std::get<Currency>(value_));
    case 7: return FormatDate(std::get<Date>(value_));
    case 8: return std::get<std::string>(value_);
    case 11: return std::string(std::get<bool>(value_) ? "True" : "False");
    case 12: return FormatDecimal(std::get<Decimal>(value_));
    case 13: return std::to_string(std::get<uint8_t>(value_));
    default: return std::nullopt;
  }
}

std::string Variant::ToText() const {
  if (IsNull()) throw errors::InvalidUseOfNull(kSource);
  if (auto text = TextForm()) return *text;
  throw errors::TypeMismatch(kSource);
}

bool Variant::operator==(const Variant& other) const {
  if (IsArray() && other.IsArray()) {
    const auto& a = AsArray();
    const auto& b = other.AsArray();
    return a.element_type == b.element_type && a.lower_bound == b.lower_bound &&
           a.elements == b.elements;
  }
  return value_ == other.value_;
}

std::string LocaleDecimalSeparator() {
  const lconv* lc = localeconv();
  if (lc == nullptr || lc->decimal_point == nullptr || lc->decimal_point[0] == '\0') return ".";
  return lc->decimal_point;
}

}  // namespace qvr
