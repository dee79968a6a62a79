#include "regfile/reg_syntax.h"

#include "base/hex.h"
#include "base/unicode.h"

namespace qvr::regsyntax {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Shows a piece of a faulty line, shortened so a message stays readable.
std::string Quote(std::string_view s) {
  if (s.size() > 40) return "'" + std::string(s.substr(0, 40)) + "...'";
  return "'" + std::string(s) + "'";
}

// One line's worth of "aa,bb,": false with `error` set on a fault.
bool ParseSegment(std::string_view segment, std::string* data, std::string* error) {
  segment = Trim(segment);
  if (segment.empty()) return true;
  size_t start = 0;
  while (start <= segment.size()) {
    size_t comma = segment.find(',', start);
    bool last = comma == std::string_view::npos;
    std::string_view token = Trim(segment.substr(start, last ? segment.npos : comma - start));
    if (token.empty()) {
      if (last) return true;  // the comma that ends a line
      *error = "an empty byte between commas in hex data";
      return false;
    }
    if (token.size() != 2) {
      bool digits = true;
      for (char c : token) digits = digits && HexDigit(c) >= 0;
      *error = digits ? "hex data " + Quote(token) +
                            " with an odd number of digits or bytes not separated by commas"
                      : Quote(token) + " is not a hex byte";
      return false;
    }
    int hi = HexDigit(token[0]), lo = HexDigit(token[1]);
    if (hi < 0 || lo < 0) {
      *error = Quote(token) + " is not a hex byte";
      return false;
    }
    if (data->size() >= kMaxValueData) {
      *error = "value data larger than " + std::to_string(kMaxValueData >> 20) + " MiB";
      return false;
    }
    data->push_back(static_cast<char>(hi * 16 + lo));
    if (last) return true;
    start = comma + 1;
  }
  return true;
}

}  // namespace

void SkipSpace(std::string_view s, size_t* i) {
  while (*i < s.size() && IsSpace(s[*i])) ++*i;
}

bool NothingMore(std::string_view rest) {
  size_t i = 0;
  SkipSpace(rest, &i);
  return i == rest.size() || rest[i] == ';';
}

bool IsTextType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string Utf8ToStored(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  // ASCII needs no decoding; the rest goes through the shared converter.
  size_t i = 0;
  while (i < text.size()) {
    size_t j = i;
    while (j < text.size() && static_cast<uint8_t>(text[j]) < 0x80) {
      out.push_back(text[j]);
      out.push_back('\0');
      ++j;
    }
    i = j;
    while (j < text.size() && static_cast<uint8_t>(text[j]) >= 0x80) ++j;
    if (j > i) {
      out += Utf16ToLeBytes(Utf8ToUtf16(text.substr(i, j - i)));
      i = j;
    }
  }
  return out;
}

bool StoredToUtf8(std::string_view stored, std::string* text) {
  text->clear();
  if (stored.size() % 2 != 0) return false;
  text->reserve(stored.size() / 2);
  size_t n = stored.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    uint32_t u =
        static_cast<uint8_t>(stored[2 * i]) | (static_cast<uint8_t>(stored[2 * i + 1]) << 8);
    if (u < 0x80) {
      text->push_back(static_cast<char>(u));
      continue;
    }
    uint32_t cp = u;
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= n) return false;
      uint32_t low =
          static_cast<uint8_t>(stored[2 * i + 2]) | (static_cast<uint8_t>(stored[2 * i + 3]) << 8);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      cp = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
    if (cp < 0x800) {
      text->push_back(static_cast<char>(0xC0 | (cp >> 6)));
      text->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      text->push_back(static_cast<char>(0xE0 | (cp >> 12)));
      text->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      text->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      text->push_back(static_cast<char>(0xF0 | (cp >> 18)));
      text->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      text->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      text->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return true;
}

std::string ValidUtf8(std::string_view text) {
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0x80) return Utf16ToUtf8(Utf8ToUtf16(text));
  }
  return std::string(text);
}

std::string KeyPathProblem(std::string_view path) {
  if (path.empty()) return "an empty key path";
  if (path.find('\0') != std::string_view::npos) return "a NUL character in a key name";
  size_t start = 0;
  while (true) {
    size_t end = path.find('\\', start);
    std::string_view part =
        path.substr(start, end == std::string_view::npos ? path.npos : end - start);
    if (part.empty()) return "an empty key name in " + Quote(path);
    const size_t length = NameLength(part);
    if (length == std::string_view::npos) return "a key name that is not valid UTF-8";
    if (length > kMaxKeyName) {
      return "a key name longer than " + std::to_string(kMaxKeyName) + " characters";
    }
    if (end == std::string_view::npos) return "";
    start = end + 1;
  }
}

std::string ValueNameProblem(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return "a NUL character in a value name";
  const size_t length = NameLength(name);
  if (length == std::string_view::npos) return "a value name that is not valid UTF-8";
  if (length > kMaxValueName) {
    return "a value name longer than " + std::to_string(kMaxValueName) + " characters";
  }
  return "";
}

bool ParseTypeCode(std::string_view digits, DWORD* type, std::string* error) {
  digits = Trim(digits);
  if (digits.empty()) {
    *error = "an empty type code in hex()";
    return false;
  }
  uint64_t v = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0) {
      *error = "type code " + Quote(digits) + " is not hexadecimal";
      return false;
    }
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) {
      *error = "type code " + Quote(digits) + " is past 0xFFFFFFFF";
      return false;
    }
  }
  *type = static_cast<DWORD>(v);
  return true;
}

bool ParseDword(std::string_view text, std::string* data, std::string* error) {
  size_t i = 0;
  SkipSpace(text, &i);
  uint64_t v = 0;
  size_t digits = 0;
  while (i < text.size() && HexDigit(text[i]) >= 0) {
    v = v * 16 + static_cast<uint64_t>(HexDigit(text[i]));
    ++digits;
    ++i;
    if (digits > 8) {
      *error = "dword data with more than 8 hex digits";
      return false;
    }
  }
  if (digits == 0) {
    *error = "dword data without hex digits";
    return false;
  }
  if (!NothingMore(text.substr(i))) {
    *error = "unexpected text after dword data: " + Quote(text.substr(i));
    return false;
  }
  data->assign(4, '\0');
  for (int b = 0; b < 4; ++b) (*data)[b] = static_cast<char>((v >> (8 * b)) & 0xFF);
  return true;
}

Status ReadHexData(std::string_view rest, RegTextSource& source, std::string* data) {
  data->clear();
  std::string line(rest);
  while (true) {
    std::string_view segment = Trim(line);
    bool continued = !segment.empty() && segment.back() == '\\';
    if (continued) segment.remove_suffix(1);
    std::string error;
    if (!ParseSegment(segment, data, &error)) {
      return Status::Syntax(source.line_number(), error);
    }
    if (!continued) return Status::OK();
    Status status;
    if (!source.NextLine(&line, &status)) {
      if (!status.ok()) return status;
      return Status::Syntax(source.line_number(),
                               "the file ends inside hex data continued with '\\'");
    }
  }
}

Status ReadHexValue(std::string_view after_hex, int64_t line, RegTextSource& source, DWORD* type,
                       std::string* data) {
  *type = REG_BINARY;
  size_t i = 0;
  if (i < after_hex.size() && after_hex[i] == '(') {
    size_t close = after_hex.find(')', i);
    if (close == std::string_view::npos)
      return Status::Syntax(line, "hex( without its closing ')'");
    std::string error;
    if (!ParseTypeCode(after_hex.substr(i + 1, close - i - 1), type, &error)) {
      return Status::Syntax(line, error);
    }
    i = close + 1;
  }
  if (i >= after_hex.size() || after_hex[i] != ':') {
    return Status::Syntax(line, "expected ':' after hex");
  }
  return ReadHexData(after_hex.substr(i + 1), source, data);
}

}  // namespace qvr::regsyntax
