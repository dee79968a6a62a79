#include "regfile/reg_file_parser.h"

#include "regfile/reg_syntax.h"
#include "base/unicode.h"

namespace qvr {
namespace {

using regsyntax::IsSpace;
using regsyntax::NothingMore;
using regsyntax::SkipSpace;

// A quoted string from `*i` (at the opening quote) to its closing quote, with
// \\ and \" undone. False when the line ends first.
bool Quoted(std::string_view line, size_t* i, std::string* out) {
  out->clear();
  size_t p = *i + 1;
  while (p < line.size()) {
    char c = line[p];
    if (c == '"') {
      *i = p + 1;
      return true;
    }
    if (c == '\\' && p + 1 < line.size() && (line[p + 1] == '\\' || line[p + 1] == '"')) {
      out->push_back(line[p + 1]);
      p += 2;
      continue;
    }
    out->push_back(c);
    ++p;
  }
  return false;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

Status RegFileParser::ReadHeader(RegTextSource& source) {
  dialect_ = Dialect::kUnknown;
  std::string first;
  Status status;
  if (!source.NextLine(&first, &status)) {
    if (status.ok()) return Status::Syntax(1, "not a registry file: the file is empty");
    return Status::Syntax(1, "not a registry file: " + status.message());
  }
  std::string_view header = TrimRight(first);
  if (header == kRegedit5Header) {
    dialect_ = Dialect::kRegedit5;
  } else if (header == kRegedit4Header) {
    dialect_ = Dialect::kRegedit4;
  } else {
    return Status::Syntax(1, "not a registry file: the first line is neither \"" +
                                    std::string(kRegedit5Header) + "\" nor \"" +
                                    std::string(kRegedit4Header) + "\"");
  }
  return Status::OK();
}

Status RegFileParser::Parse(RegTextSource& source, RegSink& sink) {
  Status status = ReadHeader(source);
  if (!status.ok()) return status;
  return ParseBody(source, sink);
}

Status RegFileParser::ParseBody(RegTextSource& source, RegSink& sink) {
  state_ = State::kNoKey;
  Status status;
  std::string line;
  while (source.NextLine(&line, &status)) {
    line_ = source.line_number();
    size_t i = 0;
    SkipSpace(line, &i);
    std::string_view rest = std::string_view(line).substr(i);
    if (rest.empty() || rest[0] == ';') continue;
    if (rest[0] == '[') {
      status = KeyLine(rest, sink);
    } else if (rest[0] == '"' || rest[0] == '@') {
      status = ValueLine(rest, source, sink);
    } else {
      std::string shown(rest.substr(0, 40));
      status = Status::Syntax(line_, "a line that is neither a key, a value nor a comment: '" +
                                            shown + (rest.size() > 40 ? "...'" : "'"));
    }
    if (!status.ok()) return status.AtLine(line_);
  }
  return status;
}

Status RegFileParser::KeyLine(std::string_view line, RegSink& sink) {
  size_t close = line.rfind(']');
  if (close == std::string_view::npos) {
    return Status::Syntax(line_, "a key line without its closing ']'");
  }
  if (!NothingMore(line.substr(close + 1))) {
    return Status::Syntax(line_, "unexpected text after the key's closing ']'");
  }
  std::string_view written = line.substr(1, close - 1);
  bool remove = !written.empty() && written[0] == '-';
  if (remove) written.remove_prefix(1);
  std::string path = regsyntax::ValidUtf8(written);
  std::string problem = regsyntax::KeyPathProblem(path);
  // A lone CR survives line splitting, but no .reg file could name the key again.
  if (problem.empty() && path.find('\r') != std::string::npos) problem = "a CR character in a key name";
  if (!problem.empty()) return Status::Syntax(line_, problem);
  if (remove) {
    state_ = State::kDeletedKey;
    return sink.DeleteKey(path);
  }
  state_ = State::kKey;
  return sink.OpenKey(path);
}

Status RegFileParser::ValueLine(std::string_view line, RegTextSource& source, RegSink& sink) {
  if (state_ == State::kNoKey) return Status::Syntax(line_, "a value before any key");
  if (state_ == State::kDeletedKey) {
    return Status::Syntax(line_, "a value under a key that the file deletes");
  }
  std::string name;
  size_t i = 0;
  if (line[0] == '@') {
    i = 1;
  } else if (!Quoted(line, &i, &name)) {
    return Status::Syntax(line_, "unterminated quoted value name");
  }
  name = regsyntax::ValidUtf8(name);
  std::string problem = regsyntax::ValueNameProblem(name);
  if (problem.empty() && name.find('\r') != std::string::npos) {
    problem = "a CR character in a value name";
  }
  if (!problem.empty()) return Status::Syntax(line_, problem);
  SkipSpace(line, &i);
  if (i >= line.size() || line[i] != '=') {
    return Status::Syntax(line_, "expected '=' after the value name");
  }
  ++i;
  SkipSpace(line, &i);
  return Data(name, line.substr(i), source, sink);
}

Status RegFileParser::Data(std::string_view name, std::string_view rest, RegTextSource& source,
                              RegSink& sink) {
  std::string error;
  if (!rest.empty() && rest[0] == '-' && NothingMore(rest.substr(1))) {
    return sink.DeleteValue(name);
  }
  if (!rest.empty() && rest[0] == '"') {
    size_t i = 0;
    std::string text;
    if (!Quoted(rest, &i, &text)) return Status::Syntax(line_, "unterminated quoted string");
    if (!NothingMore(rest.substr(i))) {
      return Status::Syntax(line_, "unexpected text after the closing quote");
    }
    scratch_ = regsyntax::Utf8ToStored(text);
    scratch_.append(2, '\0');
    return sink.SetValue(name, REG_SZ, scratch_);
  }
  if (StartsWithNoCase(rest, "dword:")) {
    if (!regsyntax::ParseDword(rest.substr(6), &scratch_, &error)) {
      return Status::Syntax(line_, error);
    }
    return sink.SetValue(name, REG_DWORD, scratch_);
  }
  if (StartsWithNoCase(rest, "hex")) {
    DWORD type = REG_BINARY;
    Status status = regsyntax::ReadHexValue(rest.substr(3), line_, source, &type, &scratch_);
    if (!status.ok()) return status;
    if (dialect_ == Dialect::kRegedit4 && regsyntax::IsTextType(type)) {
      // 8-bit text in the system code page; the store keeps UTF-16LE.
      scratch_ = regsyntax::Utf8ToStored(scratch_);
    }
    return sink.SetValue(name, type, scratch_);
  }
  std::string shown(rest.substr(0, 20));
  return Status::Syntax(line_, "unknown value data '" + shown + "'" +
                                      " (expected \"text\", dword:, hex:, hex(N): or -)");
}

}  // namespace qvr
