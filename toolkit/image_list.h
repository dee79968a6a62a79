// ImageList: named images that the tree and the list refer to by key.
//
// The model keeps only the keys and their order (1-based); a view supplies
// the pixels for each key. Keys are unique and compare without regard to case.
#ifndef QVR_TOOLKIT_IMAGE_LIST_H_
#define QVR_TOOLKIT_IMAGE_LIST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvr::toolkit {

class ImageList {
 public:
  ImageList() = default;
  // A list holding these keys, in order.
  explicit ImageList(const std::vector<std::string>& keys);

  // Appends an image; a key already present raises 35602.
  void Add(std::string_view Key);
  int32_t Count() const { return static_cast<int32_t>(keys_.size()); }
  // The key at a 1-based position (35600 outside the list).
  const std::string& Key(int32_t Index) const;
  // The 1-based position of a key, 0 when absent.
  int32_t IndexOf(std::string_view Key) const;
  bool Contains(std::string_view Key) const { return IndexOf(Key) != 0; }
  const std::vector<std::string>& Keys() const { return keys_; }

 private:
  std::vector<std::string> keys_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_IMAGE_LIST_H_
