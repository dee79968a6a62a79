// ColumnHeader: one column of a ListView in report view: caption, key and
// width in twips. Its Index is its 1-based position among the columns.
#ifndef QVR_TOOLKIT_COLUMN_HEADER_H_
#define QVR_TOOLKIT_COLUMN_HEADER_H_

#include <cstdint>
#include <functional>
#include <string>

namespace qvr::toolkit {

class ColumnHeader {
 public:
  // `changed` is told after every change of the text or width.
  ColumnHeader(int32_t index, std::string key, std::string text, float width,
               std::function<void()> changed)
      : index_(index), key_(std::move(key)), text_(std::move(text)), width_(width),
        changed_(std::move(changed)) {}

  int32_t Index() const { return index_; }
  const std::string& Key() const { return key_; }
  const std::string& Text() const { return text_; }
  void Text(std::string vData) {
    if (text_ == vData) return;
    text_ = std::move(vData);
    if (changed_) changed_();
  }
  // Width in twips; a negative width raises 380.
  float Width() const { return width_; }
  void Width(float vData);

 private:
  friend class ColumnHeaders;
  int32_t index_;
  std::string key_;
  std::string text_;
  float width_;
  std::function<void()> changed_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_COLUMN_HEADER_H_
