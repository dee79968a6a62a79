#include "reglib/internal/value_codec.h"

#include "base/unicode.h"

namespace qvr::reglib_internal {

namespace {

// The error value a host passes for an omitted optional argument.
constexpr int32_t kParamNotFound = static_cast<int32_t>(0x80020004u);

std::string OneByte(uint8_t byte) { return std::string(1, static_cast<char>(byte)); }

std::string LittleEndian32(int32_t value) {
  auto bits = static_cast<uint32_t>(value);
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return data;
}

// A DWORD of any stored length: shorter data is zero-extended, longer data
// gives its first four bytes.
int32_t DwordOf(std::string_view data) {
  uint32_t bits = 0;
  for (size_t i = 0; i < data.size() && i < 4; ++i) {
    bits |= static_cast<uint32_t>(static_cast<uint8_t>(data[i])) << (8 * i);
  }
  return static_cast<int32_t>(bits);
}

EncodedValue Text(std::string_view text) {
  EncodedValue encoded{REG_SZ, std::string(text)};
  encoded.data.push_back('\0');
  return encoded;
}

EncodedValue Integral(int32_t value) {
  if (value >= 0 && value <= 255) return EncodedValue{REG_BINARY, OneByte(value)};
  return EncodedValue{REG_DWORD, LittleEndian32(value)};
}

// True when JoinMultiString can write every element: an element that is no
// text (Null, an object) has to have a text form.
bool AllHaveText(const VariantArray& strings) {
  for (const Variant& element : strings.elements) {
    if (!element.IsString() && !element.TextForm()) return false;
  }
  return true;
}

}  // namespace

std::string_view TextOfStringData(std::string_view data) {
  if (!data.empty() && data.back() == '\0') data.remove_suffix(1);
  return data;
}

std::string FormatBinary(std::string_view data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(data.size() * 3);
  for (char c : data) {
    auto byte = static_cast<uint8_t>(c);
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0xF]);
    text.push_back(' ');
  }
  return text;
}

Variant DecodeRegistryData(DWORD type, std::string_view data) {
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return Variant(std::string(TextOfStringData(data)));
    case REG_BINARY:
      return Variant(FormatBinary(data));
    case REG_DWORD:
      return Variant(DwordOf(data));
    case REG_MULTI_SZ:
      return Variant(std::string(data.substr(0, data.find('\0'))));
    default:
      return Variant(std::string(data));
  }
}

std::optional<EncodedValue> EncodeHostValue(const Variant& value) {
  const uint16_t type = value.Type();
  if (type == (vbArray | vbString)) {
    const VariantArray& strings = value.AsArray();
    if (!AllHaveText(strings)) return std::nullopt;
    return EncodedValue{REG_MULTI_SZ, JoinMultiString(strings)};
  }
  switch (type) {
    case vbString:
      return Text(value.AsString());
    case vbByte:
      return EncodedValue{REG_BINARY, OneByte(*value.Get<uint8_t>())};
    case vbInteger:
      return Integral(*value.Get<int16_t>());
    case vbLong:
      return Integral(*value.Get<int32_t>());
    case vbBoolean:
      return EncodedValue{REG_BINARY, OneByte(*value.Get<bool>() ? 1 : 0)};
    default:
      break;
  }
  // Single, Double, Currency, Date and Decimal: their general text form.
  if ((type & 36) != 0) {
    if (auto text = value.TextForm()) return Text(*text);
  }
  return std::nullopt;
}

std::string JoinMultiString(const VariantArray& strings) {
  std::string text;
  for (const Variant& element : strings.elements) {
    text += element.IsString() ? element.AsString() : element.ToText();
    text.push_back('\0');
  }
  text.push_back('\0');
  return text;
}

std::vector<std::string> SplitMultiString(std::string_view text) {
  std::vector<std::string> pieces(1);
  size_t start = 0;
  for (size_t nul = text.find('\0'); nul != std::string_view::npos; nul = text.find('\0', start)) {
    pieces.back().assign(text.substr(start, nul - start));
    pieces.emplace_back();
    start = nul + 1;
  }
  pieces.back().assign(text.substr(start));
  return pieces;
}

std::optional<int32_t> HostValueSize(const Variant& value) {
  const uint16_t type = value.Type();
  if (type == vbEmpty) return std::nullopt;
  if ((type & vbArray) != 0) {
    const VariantArray& array = value.AsArray();
    const auto upper_plus_one = static_cast<int32_t>(value.UBound() + 1);
    if (array.element_type == vbByte) return upper_plus_one;
    if (array.elements.empty()) return 0;
    auto first = array.elements.front().TextForm();
    if (!first) return 0;
    return upper_plus_one * static_cast<int32_t>(CodePointCount(*first));
  }
  switch (type) {
    case vbString:
      return static_cast<int32_t>(CodePointCount(value.AsString()));
    case vbInteger:
      return 2;
    case vbLong:
    case vbSingle:
    case vbBoolean:
    case vbObject:
      return 4;
    case vbDouble:
    case vbDate:
      return 8;
    case vbByte:
      return 1;
    default:
      return 0;
  }
}

bool IsMissingArgument(const Variant& value) {
  auto error = value.Get<ErrorValue>();
  return error && error->code == kParamNotFound;
}

}  // namespace qvr::reglib_internal
