#include "registry/regf_writer.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <string_view>

#include "base/unicode.h"

namespace qvr {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;        // "no cell"
constexpr size_t kBaseBlock = 4096;
constexpr size_t kBinHeader = 32;
constexpr size_t kBinUnit = 4096;
constexpr size_t kNkHeader = 0x4C;             // nk fields before the name
constexpr size_t kVkHeader = 0x14;             // vk fields before the name
constexpr size_t kSegment = 16344;             // big-data segment (CM_KEY_VALUE_BIG)
constexpr size_t kLeafKeys = 500;              // keys per lh list (one fits a 4 KB hbin)
constexpr size_t kMaxData = 65535 * kSegment;  // db holds at most 65535 segments
constexpr size_t kMaxHive = 0x7FFFF000;        // cell offsets keep bit 31 clear
constexpr int kMaxDepth = 512;
constexpr size_t kOpenBins = 16;               // hbins still taking cells
constexpr uint16_t kKeyHiveEntry = 0x0004, kKeyNoDelete = 0x0008, kKeyCompName = 0x0020;
constexpr uint16_t kValueCompName = 0x0001;

size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

void Put16(std::string& s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}
void Put64(std::string& s, size_t at, uint64_t v) {
  Put32(s, at, static_cast<uint32_t>(v));
  Put32(s, at + 4, static_cast<uint32_t>(v >> 32));
}

// The self-relative security descriptor of every key: owner and group
// BUILTIN\Administrators; DACL: SYSTEM and Administrators full control
// (KEY_ALL_ACCESS), Everyone read (KEY_READ), each inherited by sub-keys.
std::string SecurityDescriptor() {
  const std::string admins("\x01\x02\0\0\0\0\0\x05\x20\0\0\0\x20\x02\0\0", 16);  // S-1-5-32-544
  const std::string system("\x01\x01\0\0\0\0\0\x05\x12\0\0\0", 12);              // S-1-5-18
  const std::string everyone("\x01\x01\0\0\0\0\0\x01\0\0\0\0", 12);              // S-1-1-0
  auto ace = [](uint32_t mask, const std::string& sid) {
    std::string a(8, '\0');
    a[0] = 0;     // ACCESS_ALLOWED_ACE_TYPE
    a[1] = 0x02;  // CONTAINER_INHERIT_ACE
    Put16(a, 2, static_cast<uint32_t>(8 + sid.size()));
    Put32(a, 4, mask);
    return a + sid;
  };
  std::string aces = ace(0xF003F, system) + ace(0xF003F, admins) + ace(0x20019, everyone);
  std::string acl(8, '\0');
  acl[0] = 2;  // ACL_REVISION
  Put16(acl, 2, static_cast<uint32_t>(8 + aces.size()));
  Put16(acl, 4, 3);
  acl += aces;
  std::string sd(20, '\0');
  sd[0] = 1;                                // revision
  Put16(sd, 2, 0x8004);                     // SE_SELF_RELATIVE | SE_DACL_PRESENT
  Put32(sd, 4, 20);                         // owner
  Put32(sd, 8, 20 + 16);                    // group
  Put32(sd, 12, 0);                         // no SACL
  Put32(sd, 16, 20 + 32);                   // DACL
  return sd + admins + admins + acl;
}

// A name as a hive stores it: Latin-1 bytes ("compressed") when every
// character is Latin-1, else UTF-16LE; and its upper-cased UTF-16 units,
// which give Windows' hash, order and equality of names.
struct Name {
  std::string bytes;
  bool compressed = true;
  size_t units = 0;
  std::u16string upper;
};

bool EncodeName(std::string_view utf8, Name* out) {
  if (NameLength(utf8) == std::string::npos) return false;
  const std::u16string u = Utf8ToUtf16(utf8);
  out->units = u.size();
  out->compressed = std::all_of(u.begin(), u.end(), [](char16_t c) { return c <= 0xFF; });
  if (out->compressed) {
    out->bytes.assign(u.begin(), u.end());
  } else {
    out->bytes = Utf16ToLeBytes(u);
  }
  out->upper.resize(u.size());
  for (size_t i = 0; i < u.size(); ++i) {
    const char16_t c = u[i];
    const UChar32 up = (c >= 0xD800 && c <= 0xDFFF) ? c : u_toupper(c);
    out->upper[i] = up <= 0xFFFF ? static_cast<char16_t>(up) : c;
  }
  return true;
}

uint32_t LeafHash(const std::u16string& upper) {
  uint32_t h = 0;
  for (char16_t c : upper) h = h * 37 + c;
  return h;
}

// Indexes of `names` in Windows' order; false when two are equal.
bool SortNames(const std::vector<Name>& names, std::vector<size_t>* order) {
  order->resize(names.size());
  std::iota(order->begin(), order->end(), size_t{0});
  std::sort(order->begin(), order->end(),
            [&](size_t a, size_t b) { return names[a].upper < names[b].upper; });
  for (size_t i = 1; i < order->size(); ++i) {
    if (names[(*order)[i - 1]].upper == names[(*order)[i]].upper) return false;
  }
  return true;
}

Status Invalid(std::string message) {
  return Status::Registry(ERROR_INVALID_PARAMETER, std::move(message));
}

// The names of a key's values, sub-keys and class, encoded and checked.
struct KeyNames {
  std::vector<Name> values, children;
  std::vector<size_t> order;  // of the sub-keys, as their list holds them
  std::string class_bytes;    // UTF-16LE
};

Status CheckNames(const HiveKey& key, KeyNames* names) {
  names->values.resize(key.values.size());
  for (size_t i = 0; i < key.values.size(); ++i) {
    const HiveValue& v = key.values[i];
    if (!EncodeName(v.name, &names->values[i]) || names->values[i].units > 16383) {
      return Invalid("a bad value name below \"" + key.name + "\"");
    }
    if (v.data.size() > kMaxData) return Invalid("value data over 1 GB: \"" + v.name + "\"");
  }
  if (!SortNames(names->values, &names->order)) {
    return Invalid("two values of \"" + key.name + "\" with the same name");
  }
  names->children.resize(key.children.size());
  for (size_t i = 0; i < key.children.size(); ++i) {
    const std::string& n = key.children[i].name;
    if (n.empty() || n.find('\\') != std::string::npos || !EncodeName(n, &names->children[i]) ||
        names->children[i].units > 255) {
      return Invalid("a bad key name below \"" + key.name + "\": \"" + n + "\"");
    }
  }
  if (!SortNames(names->children, &names->order)) {
    return Invalid("two sub-keys of \"" + key.name + "\" with the same name");
  }
  Name class_name;
  if (!EncodeName(key.class_name, &class_name) || class_name.units > 32767) {
    return Invalid("a bad class name at \"" + key.name + "\"");
  }
  names->class_bytes = Utf16ToLeBytes(Utf8ToUtf16(key.class_name));
  return Status::OK();
}

class HiveLayout {
 public:
  explicit HiveLayout(std::string* image) : image_(*image) {}

  Status Write(const HiveKey& root);

 private:
  // A cell of `size` bytes (with its size field, a multiple of 8), allocated
  // and zeroed past offset `after`; returns its offset from the first hbin.
  uint32_t Alloc(size_t size, size_t after = 0);
  void CloseBin(size_t index);
  // The file offset of byte `at` of the cell at `cell`, after its size field.
  static size_t At(uint32_t cell, size_t at) { return kBaseBlock + cell + 4 + at; }
  uint32_t CellWith(std::string_view bytes);
  Status Key(const HiveKey& key, const Name& name, uint32_t parent, int depth, uint32_t* nk);
  uint32_t Nk(const HiveKey& key, const Name& name, uint32_t parent, bool root,
              const KeyNames& names);
  uint32_t Value(const HiveValue& value, const Name& name);
  uint32_t SubkeyLists(const std::vector<uint32_t>& nks, const std::vector<uint32_t>& hashes);

  struct Bin {
    size_t next, end;  // offsets from the first hbin
  };
  std::string& image_;
  std::vector<Bin> open_;
  bool too_big_ = false;
  uint32_t sk_ = 0;
  uint32_t keys_ = 0;
  int64_t now_ = 0;
};

uint32_t HiveLayout::Alloc(size_t size, size_t after) {
  size_t cell = 0;
  bool placed = false;
  if (size <= kBinUnit - kBinHeader) {
    for (Bin& bin : open_) {
      if (bin.end - bin.next >= size && bin.next > after) {
        cell = bin.next;
        bin.next += size;
        placed = true;
        break;
      }
    }
  }
  if (!placed) {
    const size_t bin = image_.size() - kBaseBlock;
    const size_t bin_size = (size + kBinHeader + kBinUnit - 1) / kBinUnit * kBinUnit;
    if (bin + bin_size > kMaxHive) {
      too_big_ = true;
      return 0;
    }
    image_.resize(image_.size() + bin_size, '\0');
    const size_t at = kBaseBlock + bin;
    image_.replace(at, 4, "hbin");
    Put32(image_, at + 4, static_cast<uint32_t>(bin));
    Put32(image_, at + 8, static_cast<uint32_t>(bin_size));
    cell = bin + kBinHeader;
    open_.push_back({cell + size, bin + bin_size});
    if (open_.size() > kOpenBins) {
      // Retire the fullest bin: its remainder becomes a free cell.
      size_t fullest = 0;
      for (size_t i = 1; i < open_.size(); ++i) {
        if (open_[i].end - open_[i].next < open_[fullest].end - open_[fullest].next) fullest = i;
      }
      CloseBin(fullest);
    }
  }
  Put32(image_, kBaseBlock + cell, static_cast<uint32_t>(-static_cast<int32_t>(size)));
  return static_cast<uint32_t>(cell);
}

void HiveLayout::CloseBin(size_t index) {
  const Bin bin = open_[index];
  if (bin.end > bin.next) Put32(image_, kBaseBlock + bin.next, static_cast<uint32_t>(bin.end - bin.next));
  open_.erase(open_.begin() + static_cast<ptrdiff_t>(index));
}

uint32_t HiveLayout::CellWith(std::string_view bytes) {
  const uint32_t cell = Alloc(Align8(4 + bytes.size()));
  if (!too_big_) image_.replace(At(cell, 0), bytes.size(), bytes);
  return cell;
}

uint32_t HiveLayout::Value(const HiveValue& value, const Name& name) {
  const size_t len = value.data.size();
  uint32_t data_field = 0, length_field = static_cast<uint32_t>(len);
  if (len <= 4) {
    length_field |= 0x80000000u;  // the data sits in the offset field
    for (size_t i = 0; i < len; ++i) {
      data_field |= static_cast<uint32_t>(static_cast<unsigned char>(value.data[i])) << (8 * i);
    }
  } else if (len <= kSegment) {
    data_field = CellWith(value.data);
  } else {
    // Big data: a "db" record, a list of segment cells, the segments. Each
    // segment cell keeps 4 spare bytes at its end, as Windows' full ones do
    // (16344 bytes of data in a 16352-byte cell); readers count on them.
    // The segments also ascend through the file, the short last one too:
    // reglookup (libregfi) joins them in file order, not the list's.
    const size_t count = (len + kSegment - 1) / kSegment;
    std::string list(4 * count, '\0');
    uint32_t seg = 0;
    for (size_t i = 0; i < count && !too_big_; ++i) {
      const size_t piece = std::min(kSegment, len - i * kSegment);
      seg = Alloc(Align8(piece + 8), seg);
      if (too_big_) break;
      image_.replace(At(seg, 0), piece, value.data, i * kSegment, piece);
      Put32(list, 4 * i, seg);
    }
    const uint32_t list_cell = CellWith(list);
    data_field = Alloc(16);
    if (too_big_) return 0;
    image_.replace(At(data_field, 0), 2, "db");
    Put16(image_, At(data_field, 2), static_cast<uint32_t>(count));
    Put32(image_, At(data_field, 4), list_cell);
  }
  const uint32_t vk = Alloc(Align8(4 + kVkHeader + name.bytes.size()));
  if (too_big_) return 0;
  image_.replace(At(vk, 0), 2, "vk");
  Put16(image_, At(vk, 2), static_cast<uint32_t>(name.bytes.size()));
  Put32(image_, At(vk, 4), length_field);
  Put32(image_, At(vk, 8), data_field);
  Put32(image_, At(vk, 0x0C), value.type);
  Put16(image_, At(vk, 0x10), name.compressed ? kValueCompName : 0);
  image_.replace(At(vk, kVkHeader), name.bytes.size(), name.bytes);
  return vk;
}

uint32_t HiveLayout::SubkeyLists(const std::vector<uint32_t>& nks,
                                 const std::vector<uint32_t>& hashes) {
  std::vector<uint32_t> leaves;
  for (size_t first = 0; first < nks.size(); first += kLeafKeys) {
    const size_t n = std::min(kLeafKeys, nks.size() - first);
    std::string lh(4 + 8 * n, '\0');
    lh.replace(0, 2, "lh");
    Put16(lh, 2, static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) {
      Put32(lh, 4 + 8 * i, nks[first + i]);
      Put32(lh, 8 + 8 * i, hashes[first + i]);
    }
    leaves.push_back(CellWith(lh));
  }
  if (leaves.size() == 1) return leaves[0];
  std::string ri(4 + 4 * leaves.size(), '\0');
  ri.replace(0, 2, "ri");
  Put16(ri, 2, static_cast<uint32_t>(leaves.size()));
  for (size_t i = 0; i < leaves.size(); ++i) Put32(ri, 4 + 4 * i, leaves[i]);
  return CellWith(ri);
}

uint32_t HiveLayout::Nk(const HiveKey& key, const Name& name, uint32_t parent, bool root,
                        const KeyNames& names) {
  // The largest lengths below the key, as Windows counts them: names and
  // classes in bytes of UTF-16, data in bytes.
  uint32_t max_name = 0, max_class = 0, max_value_name = 0, max_data = 0;
  for (size_t i = 0; i < key.children.size(); ++i) {
    max_name = std::max(max_name, static_cast<uint32_t>(2 * names.children[i].units));
    max_class = std::max(
        max_class, static_cast<uint32_t>(2 * Utf8ToUtf16(key.children[i].class_name).size()));
  }
  for (size_t i = 0; i < key.values.size(); ++i) {
    max_value_name = std::max(max_value_name, static_cast<uint32_t>(2 * names.values[i].units));
    max_data = std::max(max_data, static_cast<uint32_t>(key.values[i].data.size()));
  }
  const uint32_t nk = Alloc(Align8(4 + kNkHeader + name.bytes.size()));
  if (too_big_) return 0;
  ++keys_;
  uint16_t flags = name.compressed ? kKeyCompName : 0;
  if (root) flags |= kKeyHiveEntry | kKeyNoDelete;
  image_.replace(At(nk, 0), 2, "nk");
  Put16(image_, At(nk, 0x02), flags);
  Put64(image_, At(nk, 0x04), static_cast<uint64_t>(key.last_write ? key.last_write : now_));
  Put32(image_, At(nk, 0x10), parent);
  Put32(image_, At(nk, 0x1C), kNone);  // sub-key list, volatile sub-key list
  Put32(image_, At(nk, 0x20), kNone);
  Put32(image_, At(nk, 0x24), static_cast<uint32_t>(key.values.size()));
  Put32(image_, At(nk, 0x28), kNone);  // value list
  Put32(image_, At(nk, 0x2C), sk_);
  Put32(image_, At(nk, 0x30), kNone);  // class name
  Put32(image_, At(nk, 0x34), max_name);
  Put32(image_, At(nk, 0x38), max_class);
  Put32(image_, At(nk, 0x3C), max_value_name);
  Put32(image_, At(nk, 0x40), max_data);
  Put16(image_, At(nk, 0x48), static_cast<uint32_t>(name.bytes.size()));
  Put16(image_, At(nk, 0x4A), static_cast<uint32_t>(names.class_bytes.size()));
  image_.replace(At(nk, kNkHeader), name.bytes.size(), name.bytes);
  return nk;
}

Status HiveLayout::Key(const HiveKey& key, const Name& name, uint32_t parent, int depth,
                       uint32_t* nk_out) {
  if (depth > kMaxDepth) return Invalid("keys nested more than 512 levels deep");
  if (key.last_write < 0) return Invalid("a time of last write before 1601 at \"" + key.name + "\"");
  KeyNames names;
  Status s = CheckNames(key, &names);
  if (!s.ok()) return s;
  const uint32_t nk = Nk(key, name, parent, depth == 0, names);
  if (!names.class_bytes.empty()) Put32(image_, At(nk, 0x30), CellWith(names.class_bytes));
  if (!key.values.empty()) {
    std::string list(4 * key.values.size(), '\0');
    for (size_t i = 0; i < key.values.size() && !too_big_; ++i) {
      Put32(list, 4 * i, Value(key.values[i], names.values[i]));
    }
    Put32(image_, At(nk, 0x28), CellWith(list));
  }
  if (!key.children.empty()) {
    std::vector<uint32_t> nks, hashes;
    for (size_t i : names.order) {
      uint32_t child = 0;
      s = Key(key.children[i], names.children[i], nk, depth + 1, &child);
      if (!s.ok()) return s;
      nks.push_back(child);
      hashes.push_back(LeafHash(names.children[i].upper));
    }
    Put32(image_, At(nk, 0x14), static_cast<uint32_t>(nks.size()));
    Put32(image_, At(nk, 0x1C), SubkeyLists(nks, hashes));
  }
  if (too_big_) return Invalid("a hive over 2 GB");
  *nk_out = nk;
  return Status::OK();
}

Status HiveLayout::Write(const HiveKey& root) {
  using namespace std::chrono;
  // FILETIME: 100 ns since 1601-01-01; the Unix epoch is 11644473600 s later.
  now_ = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100 +
         116444736000000000LL;
  image_.assign(kBaseBlock, '\0');
  const std::string sd = SecurityDescriptor();
  sk_ = Alloc(Align8(4 + 0x14 + sd.size()));
  Name root_name;
  if (!EncodeName(root.name, &root_name) || root_name.units > 255 ||
      root.name.find('\\') != std::string::npos) {
    return Invalid("a bad root key name: \"" + root.name + "\"");
  }
  uint32_t root_cell = 0;
  Status s = Key(root, root_name, kNone, 0, &root_cell);
  if (!s.ok()) return s;
  while (!open_.empty()) CloseBin(open_.size() - 1);

  image_.replace(At(sk_, 0), 2, "sk");
  Put32(image_, At(sk_, 0x04), sk_);
  Put32(image_, At(sk_, 0x08), sk_);
  Put32(image_, At(sk_, 0x0C), keys_);
  Put32(image_, At(sk_, 0x10), static_cast<uint32_t>(sd.size()));
  image_.replace(At(sk_, 0x14), sd.size(), sd);

  image_.replace(0, 4, "regf");
  Put32(image_, 0x04, 1);  // sequence numbers: equal, the hive is clean
  Put32(image_, 0x08, 1);
  Put64(image_, 0x0C, static_cast<uint64_t>(now_));
  Put32(image_, 0x14, 1);  // version 1.5
  Put32(image_, 0x18, 5);
  Put32(image_, 0x1C, 0);  // primary file
  Put32(image_, 0x20, 1);  // direct memory load
  Put32(image_, 0x24, root_cell);
  Put32(image_, 0x28, static_cast<uint32_t>(image_.size() - kBaseBlock));
  Put32(image_, 0x2C, 1);  // clustering factor
  const std::u16string file_name = Utf8ToUtf16(root.name).substr(0, 31);
  image_.replace(0x30, 2 * file_name.size(), Utf16ToLeBytes(file_name));
  // Windows stores an XOR of 0 as 1 and of 0xFFFFFFFF as 0xFFFFFFFE; other
  // readers take the plain XOR. Nudge the time so both agree.
  for (;;) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 0x1FC; i += 4) {
      sum ^= static_cast<uint32_t>(static_cast<unsigned char>(image_[i])) |
             static_cast<uint32_t>(static_cast<unsigned char>(image_[i + 1])) << 8 |
             static_cast<uint32_t>(static_cast<unsigned char>(image_[i + 2])) << 16 |
             static_cast<uint32_t>(static_cast<unsigned char>(image_[i + 3])) << 24;
    }
    if (sum != 0 && sum != 0xFFFFFFFFu) {
      Put32(image_, 0x1FC, sum);
      break;
    }
    Put64(image_, 0x0C, static_cast<uint64_t>(++now_));
  }
  return Status::OK();
}

}  // namespace

Status WriteHive(const HiveKey& root, std::string* image) {
  image->clear();
  HiveLayout layout(image);
  Status s = layout.Write(root);
  if (!s.ok()) {
    image->clear();
    image->shrink_to_fit();
  }
  return s;
}

}  // namespace qvr
