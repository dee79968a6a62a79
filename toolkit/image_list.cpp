#include "toolkit/image_list.h"

#include "toolkit/toolkit_errors.h"
#include "base/unicode.h"

namespace qvr::toolkit {

ImageList::ImageList(const std::vector<std::string>& keys) {
  for (const auto& k : keys) Add(k);
}

void ImageList::Add(std::string_view Key) {
  if (Key.empty()) throw InvalidKey("ImageList");
  if (Contains(Key)) throw KeyNotUnique("ImageList");
  keys_.emplace_back(Key);
}

const std::string& ImageList::Key(int32_t Index) const {
  if (Index < 1 || Index > Count()) throw IndexOutOfBounds("ImageList");
  return keys_[static_cast<size_t>(Index - 1)];
}

int32_t ImageList::IndexOf(std::string_view Key) const {
  for (size_t i = 0; i < keys_.size(); ++i)
    if (EqualsNoCase(keys_[i], Key)) return static_cast<int32_t>(i + 1);
  return 0;
}

}  // namespace qvr::toolkit
