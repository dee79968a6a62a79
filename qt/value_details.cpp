#include "qt/value_details.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <vector>

#include "base/unicode.h"
#include "registry/registry_service.h"

namespace qvr::view {
namespace {

bool IsConvertedText(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

uint64_t LittleEndian(std::string_view bytes, size_t count) {
  uint64_t n = 0;
  for (size_t i = count; i-- > 0;) n = (n << 8) | static_cast<unsigned char>(bytes[i]);
  return n;
}

uint64_t BigEndian(std::string_view bytes, size_t count) {
  uint64_t n = 0;
  for (size_t i = 0; i < count; ++i) n = (n << 8) | static_cast<unsigned char>(bytes[i]);
  return n;
}

std::string Format(const char* format, auto... args) {
  char line[160];
  std::snprintf(line, sizeof line, format, args...);
  return line;
}

// UTF-16LE text, NULs shown as "\0" so that REG_MULTI_SZ's parts stay
// apart; the terminating NULs are left out.
std::string Utf16Reading(std::string_view bytes) {
  std::u16string units = LeBytesToUtf16(bytes.substr(0, bytes.size() & ~size_t{1}));
  while (!units.empty() && units.back() == u'\0') units.pop_back();
  std::string text;
  size_t start = 0;
  for (size_t i = 0; i <= units.size(); ++i) {
    if (i == units.size() || units[i] == u'\0') {
      text += Utf16ToUtf8(std::u16string_view(units).substr(start, i - start));
      if (i < units.size()) text += "\\0";
      start = i + 1;
    }
  }
  return text;
}

}  // namespace

std::string FileTimeText(uint64_t filetime) {
  constexpr uint64_t kUnixEpoch = 116444736000000000ULL;
  constexpr uint64_t kYear10000 = 2650467744000000000ULL;
  if (filetime == 0 || filetime >= kYear10000) return "";
  const int64_t seconds =
      (static_cast<int64_t>(filetime) - static_cast<int64_t>(kUnixEpoch)) / 10000000;
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm utc{};
  if (!gmtime_r(&t, &utc)) return "";
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
  return text;
}

LONG ReadValueBytes(HKEY key, const std::string& name, ValueBytes* value) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<BYTE> data(size + 1);
  rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size);
  if (rc != ERROR_SUCCESS) return rc;
  value->name = name;
  value->type = type;
  value->data.assign(reinterpret_cast<const char*>(data.data()), size);
  if (!IsConvertedText(type)) return ERROR_SUCCESS;
  // Text comes through that call as UTF-8: the bytes as stored (an odd
  // length, a lone surrogate) come from the listing of the key's values.
  if (auto service = CurrentRegistryService()) {
    std::string found, stored;
    DWORD stored_type = 0;
    for (DWORD i = 0; service->EnumValueBytes(key, i, &found, &stored_type, &stored) == ERROR_SUCCESS; ++i) {
      if (EqualsNoCase(found, name)) {
        value->data = std::move(stored);
        return ERROR_SUCCESS;
      }
    }
  }
  value->data = Utf16ToLeBytes(Utf8ToUtf16(value->data));
  return ERROR_SUCCESS;
}

std::string RegTypeName(DWORD type) {
  static const char* const kNames[] = {"REG_NONE",
                                       "REG_SZ",
                                       "REG_EXPAND_SZ",
                                       "REG_BINARY",
                                       "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",
                                       "REG_MULTI_SZ",
                                       "REG_RESOURCE_LIST",
                                       "REG_FULL_RESOURCE_DESCRIPTOR",
                                       "REG_RESOURCE_REQUIREMENTS_LIST",
                                       "REG_QWORD"};
  if (type < std::size(kNames)) return kNames[type];
  return Format("unknown type 0x%08" PRIx32, static_cast<uint32_t>(type));
}

std::string HexDump(std::string_view bytes) {
  std::string dump;
  for (size_t offset = 0; offset < bytes.size(); offset += 16) {
    std::string hex;
    std::string chars;
    for (size_t i = offset; i < offset + 16; ++i) {
      if (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        hex += Format("%02x ", c);
        chars += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '.';
      } else {
        hex += "   ";
      }
      if (i == offset + 7) hex += ' ';
    }
    dump += Format("%08zx  ", offset) + hex + " " + chars + "\n";
  }
  return dump;
}

std::string Readings(DWORD type, std::string_view bytes) {
  std::string text;
  const size_t size = bytes.size();
  if (size >= 2 && size % 2 == 0) text += "UTF-16 text:   \"" + Utf16Reading(bytes) + "\"\n";
  if (size == 4) {
    const uint64_t le = LittleEndian(bytes, 4);
    const uint64_t be = BigEndian(bytes, 4);
    // REG_DWORD_BIG_ENDIAN says which order counts; it is read first.
    if (type == REG_DWORD_BIG_ENDIAN) {
      text += Format("32-bit (big endian):    %" PRIu64 " (0x%08" PRIx64 ")\n", be, be);
      text += Format("32-bit (little endian): %" PRIu64 " (0x%08" PRIx64 ")\n", le, le);
    } else {
      text += Format("32-bit (little endian): %" PRIu64 " (0x%08" PRIx64 ")\n", le, le);
      text += Format("32-bit (big endian):    %" PRIu64 " (0x%08" PRIx64 ")\n", be, be);
    }
  }
  if (size == 8) {
    const uint64_t n = LittleEndian(bytes, 8);
    text += Format("64-bit:        %" PRIu64 " (0x%016" PRIx64 ")\n", n, n);
    // Eight bytes of anything else would read as some moment of 1601 or of
    // a far century; only times a registry could have seen are offered.
    constexpr uint64_t k1980 = 119600064000000000ULL;
    constexpr uint64_t k2200 = 189025920000000000ULL;
    if (n >= k1980 && n < k2200) text += "FILETIME:      " + FileTimeText(n) + "\n";
  }
  if (size == 16) {
    text += Format(
        "GUID:          {%08" PRIX64 "-%04" PRIX64 "-%04" PRIX64 "-%04" PRIX64 "-%012" PRIX64 "}\n",
        LittleEndian(bytes, 4), LittleEndian(bytes.substr(4), 2), LittleEndian(bytes.substr(6), 2),
        BigEndian(bytes.substr(8), 2), BigEndian(bytes.substr(10), 6));
  }
  return text;
}

std::string DetailsText(const ValueBytes& value) {
  std::string text = "Key:   " + value.key_path + "\n";
  text += "Name:  " + (value.name.empty() ? std::string("(default)") : value.name) + "\n";
  text += Format("Type:  %" PRIu32 " (0x%08" PRIx32 ") ", static_cast<uint32_t>(value.type),
                 static_cast<uint32_t>(value.type)) +
          RegTypeName(value.type) + "\n";
  text += Format("Size:  %zu bytes\n", value.data.size());
  const std::string readings = Readings(value.type, value.data);
  if (!readings.empty()) text += "\n" + readings;
  if (!value.data.empty()) text += "\n" + HexDump(value.data);
  return text;
}

ValueDetailsDialog::ValueDetailsDialog(const ValueBytes& value, QWidget* parent) : QDialog(parent) {
  setObjectName("valueDetails");
  setWindowTitle(QString::fromStdString(
      "Value details - " + (value.name.empty() ? std::string("(default)") : value.name)));
  auto* layout = new QVBoxLayout(this);
  text_ = new QPlainTextEdit(QString::fromStdString(DetailsText(value)), this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(540, 330);
}

QString ValueDetailsDialog::Text() const { return text_->toPlainText(); }

}  // namespace qvr::view
