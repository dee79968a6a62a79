#include "toolkit/property_bag.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "automation/automation_error.h"
#include "base/unicode.h"

namespace qvr::toolkit {
namespace {

bool ValidName(std::string_view name) {
  return !name.empty() && name.find_first_of("=\n\r") == std::string_view::npos &&
         name.front() != '#';
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      default: return std::nullopt;
    }
  }
  return out;
}

template <class T>
std::optional<T> ParseNumber(std::string_view text) {
  T value{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

template <class T>
std::string FormatNumber(T value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

// The type word and text of a value that a bag can keep; raises 13 otherwise.
std::pair<std::string, std::string> Encode(const Variant& v) {
  if (auto x = v.Get<int32_t>()) return {"Long", FormatNumber(*x)};
  if (auto x = v.Get<int16_t>()) return {"Integer", FormatNumber(*x)};
  if (auto x = v.Get<uint8_t>()) return {"Byte", FormatNumber(static_cast<int>(*x))};
  if (auto x = v.Get<bool>()) return {"Boolean", *x ? "True" : "False"};
  if (auto x = v.Get<float>()) return {"Single", FormatNumber(*x)};
  if (auto x = v.Get<double>()) return {"Double", FormatNumber(*x)};
  if (v.IsString()) return {"String", Escape(v.AsString())};
  throw errors::TypeMismatch("PropertyBag");
}

std::optional<Variant> Decode(std::string_view type, std::string_view text) {
  if (type == "Long") {
    if (auto x = ParseNumber<int32_t>(text)) return Variant(*x);
  } else if (type == "Integer") {
    if (auto x = ParseNumber<int16_t>(text)) return Variant(*x);
  } else if (type == "Byte") {
    if (auto x = ParseNumber<int>(text); x && *x >= 0 && *x <= 255)
      return Variant(static_cast<uint8_t>(*x));
  } else if (type == "Boolean") {
    if (text == "True") return Variant(true);
    if (text == "False") return Variant(false);
  } else if (type == "Single") {
    if (auto x = ParseNumber<float>(text)) return Variant(*x);
  } else if (type == "Double") {
    if (auto x = ParseNumber<double>(text)) return Variant(*x);
  } else if (type == "String") {
    if (auto s = Unescape(text)) return Variant(std::move(*s));
  }
  return std::nullopt;
}

}  // namespace

const PropertyBag::Entry* PropertyBag::Find(std::string_view name) const {
  for (const Entry& e : entries_)
    if (EqualsNoCase(e.name, name)) return &e;
  return nullptr;
}

bool PropertyBag::Contains(std::string_view Name) const { return Find(Name) != nullptr; }

Variant PropertyBag::ReadProperty(std::string_view Name, const Variant& DefaultValue) const {
  const Entry* e = Find(Name);
  return e ? e->value : DefaultValue;
}

void PropertyBag::WriteProperty(std::string_view Name, const Variant& Value,
                                const Variant& DefaultValue) {
  if (!ValidName(Name)) throw errors::InvalidProcedureCall("PropertyBag");
  const bool is_default = Value.Type() == DefaultValue.Type() && Value == DefaultValue;
  if (!is_default) Encode(Value);  // raises for a kind the bag cannot keep
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (!EqualsNoCase(it->name, Name)) continue;
    if (is_default) {
      entries_.erase(it);
    } else {
      it->value = Value;
    }
    return;
  }
  if (!is_default) entries_.push_back(Entry{std::string(Name), Value});
}

std::string PropertyBag::ToText() const {
  std::string out;
  for (const Entry& e : entries_) {
    auto [type, text] = Encode(e.value);
    out += e.name;
    out += '=';
    out += type;
    out += ':';
    out += text;
    out += '\n';
  }
  return out;
}

bool PropertyBag::FromText(std::string_view text) {
  std::vector<Entry> parsed;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view name = line.substr(0, eq);
    std::string_view rest = line.substr(eq + 1);
    size_t colon = rest.find(':');
    if (!ValidName(name) || colon == std::string_view::npos) return false;
    auto value = Decode(rest.substr(0, colon), rest.substr(colon + 1));
    if (!value) return false;
    bool replaced = false;
    for (Entry& e : parsed) {
      if (EqualsNoCase(e.name, name)) {
        e.value = std::move(*value);
        replaced = true;
        break;
      }
    }
    if (!replaced) parsed.push_back(Entry{std::string(name), std::move(*value)});
  }
  entries_ = std::move(parsed);
  return true;
}

}  // namespace qvr::toolkit
