#include "regfile/reg_file_writer.h"

#include <algorithm>

#include "base/hex.h"
#include "regfile/reg_file_parser.h"
#include "regfile/reg_syntax.h"
#include "base/unicode.h"

namespace qvr {
namespace {

// Columns after which hex data breaks: the line then ends in "\" at most at
// column 80, and continuation lines hold 25 bytes.
constexpr size_t kWrapColumn = 77;

// The piece of output handed on at a time when streaming.
constexpr size_t kStreamChunk = 64 * 1024;

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

void AppendEscaped(std::string_view text, std::string* out) {
  for (char c : text) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
}

}  // namespace

RegFileWriter::RegFileWriter(Dialect dialect) : dialect_(dialect) {
  if (dialect_ == Dialect::kRegedit5) {
    out_ = "\xFF\xFE";
    line_ = RegFileParser::kRegedit5Header;
  } else {
    line_ = RegFileParser::kRegedit4Header;
  }
  Emit();
}

void RegFileWriter::Encode(std::string_view utf8) {
  if (dialect_ == Dialect::kRegedit4) {
    out_ += utf8;
    return;
  }
  size_t start = out_.size();
  out_.resize(start + utf8.size() * 2);
  char* p = out_.data() + start;
  size_t i = 0;
  for (; i < utf8.size() && static_cast<uint8_t>(utf8[i]) < 0x80; ++i) {
    *p++ = utf8[i];
    *p++ = '\0';
  }
  if (i < utf8.size()) {
    out_.resize(p - out_.data());
    out_ += regsyntax::Utf8ToStored(utf8.substr(i));
  }
}

void RegFileWriter::Emit() {
  line_ += "\r\n";
  if (!output_) {
    Encode(line_);
  } else {
    // A long line (a large REG_SZ) goes out in pieces cut between
    // characters, so its encoded form is never held whole.
    std::string_view rest(line_);
    while (!rest.empty()) {
      size_t cut = std::min(rest.size(), kStreamChunk);
      while (cut < rest.size() && (static_cast<uint8_t>(rest[cut]) & 0xC0) == 0x80) ++cut;
      Encode(rest.substr(0, cut));
      rest.remove_prefix(cut);
      if (out_.size() >= kStreamChunk) Flush();
    }
  }
  line_.clear();
  // After a very large value, give its memory back.
  if (line_.capacity() > 16 * kStreamChunk) line_.shrink_to_fit();
}

void RegFileWriter::StreamTo(Output output) {
  output_ = std::move(output);
  Flush();
}

void RegFileWriter::Flush() {
  if (!output_ || out_.empty()) return;
  if (!failed_ && !output_(out_)) failed_ = true;
  out_.clear();
  if (out_.capacity() > 4 * kStreamChunk) out_.shrink_to_fit();
}

bool RegFileWriter::Key(std::string_view path) {
  if (HasLineBreak(path)) return false;
  Emit();  // the blank line before every key
  line_ = "[";
  line_ += path;
  line_ += "]";
  Emit();
  return true;
}

bool RegFileWriter::DeleteKey(std::string_view path) {
  if (HasLineBreak(path)) return false;
  Emit();
  line_ = "[-";
  line_ += path;
  line_ += "]";
  Emit();
  return true;
}

void RegFileWriter::Name(std::string_view name) {
  if (name.empty()) {
    line_ = "@=";
    return;
  }
  line_ = "\"";
  AppendEscaped(name, &line_);
  line_ += "\"=";
}

bool RegFileWriter::DeleteValue(std::string_view name) {
  if (HasLineBreak(name)) return false;
  Name(name);
  line_ += "-";
  Emit();
  return true;
}

bool RegFileWriter::TextFormFits(std::string_view stored, std::string* text) {
  if (stored.size() < 2 || stored.size() % 2 != 0) return false;
  if (stored[stored.size() - 1] != '\0' || stored[stored.size() - 2] != '\0') return false;
  std::string_view body = stored.substr(0, stored.size() - 2);
  for (size_t i = 0; i < body.size(); i += 2) {
    if (body[i] == '\0' && body[i + 1] == '\0') return false;
  }
  if (!regsyntax::StoredToUtf8(body, text)) return false;
  return !HasLineBreak(*text);
}

bool RegFileWriter::Value(std::string_view name, DWORD type, std::string_view stored) {
  if (HasLineBreak(name)) return false;
  if (text_.capacity() > 16 * kStreamChunk) std::string().swap(text_);  // a large value's
  Name(name);
  if (type == REG_SZ && TextFormFits(stored, &text_)) {
    line_ += '"';
    AppendEscaped(text_, &line_);
    line_ += '"';
    Emit();
    return true;
  }
  if (type == REG_DWORD && stored.size() == 4) {
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = (v << 8) | static_cast<uint8_t>(stored[b]);
    line_ += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) line_ += kLowerHexDigits[(v >> shift) & 0xF];
    Emit();
    return true;
  }
  if (type == REG_BINARY) {
    line_ += "hex:";
  } else {
    line_ += "hex(";
    char digits[9];
    int n = 0;
    DWORD t = type;
    do {
      digits[n++] = kLowerHexDigits[t & 0xF];
      t >>= 4;
    } while (t != 0);
    while (n > 0) line_ += digits[--n];
    line_ += "):";
  }
  if (dialect_ == Dialect::kRegedit4 && regsyntax::IsTextType(type)) {
    // REGEDIT4 carries text types as 8-bit text.
    text_ = Utf16ToUtf8(LeBytesToUtf16(stored));
    Hex(text_);
  } else {
    Hex(stored);
  }
  Emit();
  return true;
}

void RegFileWriter::Hex(std::string_view bytes) {
  size_t column = CodePointCount(line_);
  for (size_t i = 0; i < bytes.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(bytes[i]);
    line_ += kLowerHexDigits[b >> 4];
    line_ += kLowerHexDigits[b & 0xF];
    if (i + 1 == bytes.size()) break;
    line_ += ',';
    column += 3;
    if (column >= kWrapColumn) {
      line_ += '\\';
      Emit();
      line_ = "  ";
      column = 2;
    }
  }
}

void RegFileWriter::Finish() {
  Emit();
  Flush();
}

void RegFileWriter::TakeOutput(std::string* out) {
  out->swap(out_);
  out_.clear();
}

}  // namespace qvr
