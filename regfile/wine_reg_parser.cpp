#include "regfile/wine_reg_parser.h"

#include <cstdint>

#include "base/hex.h"
#include "regfile/reg_syntax.h"
#include "base/unicode.h"
#include "registry/key_time.h"

namespace qvr {
namespace {

using regsyntax::NothingMore;
using regsyntax::SkipSpace;

// Wine's escaped text from `*i` up to the unescaped `close`, as UTF-16 units.
// False when the line ends first.
bool Escaped(std::string_view line, size_t* i, char close, std::u16string* out) {
  out->clear();
  size_t p = *i;
  while (p < line.size()) {
    char c = line[p];
    if (c == close) {
      *i = p + 1;
      return true;
    }
    if (c != '\\') {
      // Plain text: gather the run and convert it at once (it may be UTF-8).
      size_t q = p;
      while (q < line.size() && line[q] != close && line[q] != '\\') ++q;
      out->append(Utf8ToUtf16(line.substr(p, q - p)));
      p = q;
      continue;
    }
    if (++p >= line.size()) return false;
    c = line[p];
    switch (c) {
      case 'a': out->push_back(u'\a'); ++p; continue;
      case 'b': out->push_back(u'\b'); ++p; continue;
      case 'e': out->push_back(u'\x1b'); ++p; continue;
      case 'f': out->push_back(u'\f'); ++p; continue;
      case 'n': out->push_back(u'\n'); ++p; continue;
      case 'r': out->push_back(u'\r'); ++p; continue;
      case 't': out->push_back(u'\t'); ++p; continue;
      case 'v': out->push_back(u'\v'); ++p; continue;
      default: break;
    }
    if (c == 'x' && p + 1 < line.size() && HexDigit(line[p + 1]) >= 0) {
      unsigned v = 0;
      size_t n = 0;
      ++p;
      while (n < 4 && p < line.size() && HexDigit(line[p]) >= 0) v = v * 16 + HexDigit(line[p++]), ++n;
      out->push_back(static_cast<char16_t>(v));
      continue;
    }
    if (c >= '0' && c <= '7') {
      unsigned v = 0;
      size_t n = 0;
      while (n < 3 && p < line.size() && line[p] >= '0' && line[p] <= '7') {
        v = v * 8 + (line[p++] - '0'), ++n;
      }
      out->push_back(static_cast<char16_t>(v));
      continue;
    }
    // Any other character stands for itself (\\, \", \[, \]).
    size_t q = p + 1;
    while (q < line.size() && (static_cast<uint8_t>(line[q]) & 0xC0) == 0x80) ++q;
    out->append(Utf8ToUtf16(line.substr(p, q - p)));
    p = q;
  }
  return false;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

Status WineRegParser::Parse(RegTextSource& source, RegSink& sink) {
  in_key_ = false;
  std::string line;
  Status status;
  if (!source.NextLine(&line, &status)) {
    if (status.ok()) return Status::Syntax(1, "not a Wine registry file: the file is empty");
    return Status::Syntax(1, "not a Wine registry file: " + status.message());
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
  if (line != kHeader) {
    return Status::Syntax(1, "not a Wine registry file: the first line is not \"" +
                                    std::string(kHeader) + "\"");
  }
  while (source.NextLine(&line, &status)) {
    line_ = source.line_number();
    size_t i = 0;
    SkipSpace(line, &i);
    std::string_view rest = std::string_view(line).substr(i);
    if (rest.empty() || rest[0] == ';') continue;
    if (rest[0] == '#') {
      // Metadata before the first key (#arch=) belongs to the file.
      status = in_key_ ? MetadataLine(rest, sink) : Status::OK();
    } else if (rest[0] == '[') {
      status = KeyLine(rest, sink);
    } else if (rest[0] == '"' || rest[0] == '@') {
      status = ValueLine(rest, source, sink);
    } else {
      status = Status::Syntax(line_, "a line that is neither a key, a value nor a comment");
    }
    if (!status.ok()) return status.AtLine(line_);
  }
  return status;
}

Status WineRegParser::KeyLine(std::string_view line, RegSink& sink) {
  size_t i = 1;
  if (!Escaped(line, &i, ']', &wide_)) {
    return Status::Syntax(line_, "a key line without its closing ']'");
  }
  // The modification time: decimal seconds since 1970, optional.
  SkipSpace(line, &i);
  const size_t digits = i;
  int64_t seconds = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    // Past twelve digits (the year 33658) it is no time Wine wrote.
    if (i - digits < 12) seconds = seconds * 10 + (line[i] - '0');
    ++i;
  }
  if (!NothingMore(line.substr(i))) {
    return Status::Syntax(line_, "unexpected text after the key's time stamp");
  }
  std::string path = Utf16ToUtf8(wide_);
  std::string problem = regsyntax::KeyPathProblem(path);
  if (!problem.empty()) return Status::Syntax(line_, problem);
  in_key_ = true;
  Status status = sink.OpenKey(path);
  if (status.ok() && i > digits && i - digits <= 12) {
    status = sink.KeyTime(FileTimeFromUnixSeconds(seconds));
  }
  return status;
}

Status WineRegParser::MetadataLine(std::string_view line, RegSink& sink) {
  // Wine skips what it cannot read here, and so do we: these lines were
  // comments to older readers.
  if (StartsWith(line, "#time=")) {
    std::string_view hex = line.substr(6);
    uint64_t time = 0;
    size_t n = 0;
    while (n < hex.size() && HexDigit(hex[n]) >= 0) time = time * 16 + HexDigit(hex[n++]);
    if (n == 0 || n > 16 || time > static_cast<uint64_t>(INT64_MAX) ||
        !NothingMore(hex.substr(n))) {
      return Status::OK();
    }
    return sink.KeyTime(static_cast<int64_t>(time));
  }
  if (StartsWith(line, "#class=\"")) {
    size_t i = 8;
    if (!Escaped(line, &i, '"', &wide_) || !NothingMore(line.substr(i))) return Status::OK();
    return sink.KeyClass(Utf16ToUtf8(wide_));
  }
  return Status::OK();
}

Status WineRegParser::ValueLine(std::string_view line, RegTextSource& source, RegSink& sink) {
  if (!in_key_) return Status::Syntax(line_, "a value before any key");
  std::string name;
  size_t i = 1;
  if (line[0] == '"') {
    if (!Escaped(line, &i, '"', &wide_)) {
      return Status::Syntax(line_, "unterminated quoted value name");
    }
    name = Utf16ToUtf8(wide_);
  }
  std::string problem = regsyntax::ValueNameProblem(name);
  if (!problem.empty()) return Status::Syntax(line_, problem);
  SkipSpace(line, &i);
  if (i >= line.size() || line[i] != '=') {
    return Status::Syntax(line_, "expected '=' after the value name");
  }
  ++i;
  SkipSpace(line, &i);
  std::string_view rest = line.substr(i);
  std::string error;
  DWORD type = REG_SZ;
  if (StartsWith(rest, "str(")) {
    size_t close = rest.find(')');
    if (close == std::string_view::npos) {
      return Status::Syntax(line_, "str( without its closing ')'");
    }
    if (!regsyntax::ParseTypeCode(rest.substr(4, close - 4), &type, &error)) {
      return Status::Syntax(line_, error);
    }
    if (close + 1 >= rest.size() || rest[close + 1] != ':') {
      return Status::Syntax(line_, "expected ':' after str()");
    }
    rest.remove_prefix(close + 2);
    if (rest.empty() || rest[0] != '"') {
      return Status::Syntax(line_, "expected a quoted string after str():");
    }
  }
  if (!rest.empty() && rest[0] == '"') {
    size_t j = 1;
    if (!Escaped(rest, &j, '"', &wide_)) {
      return Status::Syntax(line_, "unterminated quoted string");
    }
    if (!NothingMore(rest.substr(j))) {
      return Status::Syntax(line_, "unexpected text after the closing quote");
    }
    wide_.push_back(u'\0');
    return sink.SetValue(name, type, Utf16ToLeBytes(wide_));
  }
  if (StartsWith(rest, "dword:")) {
    if (!regsyntax::ParseDword(rest.substr(6), &scratch_, &error)) {
      return Status::Syntax(line_, error);
    }
    return sink.SetValue(name, REG_DWORD, scratch_);
  }
  if (StartsWith(rest, "hex")) {
    Status status = regsyntax::ReadHexValue(rest.substr(3), line_, source, &type, &scratch_);
    if (!status.ok()) return status;
    return sink.SetValue(name, type, scratch_);
  }
  return Status::Syntax(line_, "unknown value data (expected \"text\", str(N):, dword:, "
                                  "hex: or hex(N):)");
}

}  // namespace qvr
