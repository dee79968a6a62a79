#include "regfile/reg_text_source.h"

#include <cstring>

#include "base/unicode.h"

namespace qvr {
namespace {
constexpr size_t kBufferSize = 64 * 1024;
}  // namespace

RegTextSource::RegTextSource(std::unique_ptr<RegByteInput> input, size_t max_line)
    : input_(std::move(input)), max_line_(max_line), buffer_(kBufferSize, '\0') {}

bool RegTextSource::Fill(Status* status) {
  if (pos_ < end_) return true;
  if (eof_) return false;
  int64_t n = input_->Read(buffer_.data(), buffer_.size());
  if (n < 0) {
    *status = Status::Syntax(line_number_ + 1, "the file could not be read");
    eof_ = true;
    return false;
  }
  pos_ = 0;
  end_ = static_cast<size_t>(n);
  if (n == 0) eof_ = true;
  return n > 0;
}

bool RegTextSource::Detect(Status* status) {
  // Gather up to three bytes without losing any of them across buffer fills.
  std::string head;
  while (head.size() < 3 && Fill(status)) head.push_back(buffer_[pos_++]);
  if (!status->ok()) return false;
  size_t skip = 0;
  if (head.size() >= 2 && head[0] == '\xFF' && head[1] == '\xFE') {
    encoding_ = Encoding::kUtf16Le;
    skip = 2;
  } else if (head.size() >= 3 && head.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    encoding_ = Encoding::kUtf8Bom;
    skip = 3;
  } else {
    encoding_ = Encoding::kEightBit;
  }
  // Put back what follows the byte-order mark in front of the buffer.
  std::string rest = head.substr(skip) + buffer_.substr(pos_, end_ - pos_);
  if (rest.size() > buffer_.size()) buffer_.resize(rest.size());
  std::memcpy(buffer_.data(), rest.data(), rest.size());
  pos_ = 0;
  end_ = rest.size();
  return true;
}

Status RegTextSource::TooLong(size_t limit) const {
  return Status::Syntax(line_number_,
                           "the line is longer than " + std::to_string(limit) + " bytes");
}

bool RegTextSource::NextLine(std::string* line, Status* status) {
  *status = Status::OK();
  line->clear();
  if (done_) return false;
  size_t limit = max_line_;
  if (encoding_ == Encoding::kUnknown) {
    if (!Detect(status)) {
      done_ = true;
      return false;
    }
    limit = kMaxFirstLine;
  }
  bool got = encoding_ == Encoding::kUtf16Le ? NextUtf16(line, limit, status)
                                             : NextBytes(line, limit, status);
  if (!got) done_ = true;
  return got;
}

bool RegTextSource::NextBytes(std::string* line, size_t limit, Status* status) {
  bool any = false;
  ++line_number_;
  while (Fill(status)) {
    any = true;
    const char* start = buffer_.data() + pos_;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
    size_t take = nl ? static_cast<size_t>(nl - start) : end_ - pos_;
    if (line->size() + take > limit) {
      *status = TooLong(limit);
      return false;
    }
    line->append(start, take);
    pos_ += take;
    if (nl) {
      ++pos_;
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
  }
  if (!status->ok()) return false;
  if (!any) {
    --line_number_;
    return false;
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

bool RegTextSource::NextUtf16(std::string* line, size_t limit, Status* status) {
  wide_.clear();
  bool any = false;
  ++line_number_;
  int pending = -1;  // the low byte of a code unit split across two reads
  size_t utf8_size = 0;
  while (Fill(status)) {
    any = true;
    while (pos_ < end_) {
      int byte = static_cast<uint8_t>(buffer_[pos_++]);
      if (pending < 0) {
        pending = byte;
        continue;
      }
      char16_t unit = static_cast<char16_t>(pending | (byte << 8));
      pending = -1;
      if (unit == u'\n') {
        if (!wide_.empty() && wide_.back() == u'\r') wide_.pop_back();
        *line = Utf16ToUtf8(wide_);
        return true;
      }
      // The UTF-8 length the line will have (a lone surrogate becomes U+FFFD).
      utf8_size += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
      if (utf8_size > limit) {
        *status = TooLong(limit);
        return false;
      }
      wide_.push_back(unit);
    }
  }
  if (!status->ok()) return false;
  if (pending >= 0) {
    *status = Status::Syntax(line_number_,
                                "the file ends in the middle of a UTF-16 character "
                                "(an odd number of bytes)");
    return false;
  }
  if (!any) {
    --line_number_;
    return false;
  }
  if (!wide_.empty() && wide_.back() == u'\r') wide_.pop_back();
  *line = Utf16ToUtf8(wide_);
  return true;
}

}  // namespace qvr
