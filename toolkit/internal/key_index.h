// KeyIndex: finds a member by its text key in O(1), storing only one pointer
// per slot (open addressing with linear probing, at most half full; removal
// shifts the following run back instead of leaving tombstones). A tree of
// 100k nodes spends 16 bytes a node here rather than a hash-map node each.
//
// `KeyOf::Of(const T*)` gives a member's key (a std::string_view that stays
// valid while the member is indexed). Keys are compared exactly.
#ifndef QVR_TOOLKIT_INTERNAL_KEY_INDEX_H_
#define QVR_TOOLKIT_INTERNAL_KEY_INDEX_H_

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace qvr::toolkit::internal {

template <class T, class KeyOf>
class KeyIndex {
 public:
  size_t Size() const { return size_; }

  T* Find(std::string_view key) const {
    if (table_.empty()) return nullptr;
    for (size_t i = Home(key);; i = Next(i)) {
      T* m = table_[i];
      if (!m) return nullptr;
      if (KeyOf::Of(m) == key) return m;
    }
  }

  // Adds a member whose key is not present yet.
  void Insert(T* member) {
    if ((size_ + 1) * 2 > table_.size()) Grow();
    size_t i = Home(KeyOf::Of(member));
    while (table_[i]) i = Next(i);
    table_[i] = member;
    ++size_;
  }

  // Removes the member under `key`, if any.
  void Erase(std::string_view key) {
    if (table_.empty()) return;
    size_t i = Home(key);
    for (;; i = Next(i)) {
      if (!table_[i]) return;
      if (KeyOf::Of(table_[i]) == key) break;
    }
    table_[i] = nullptr;
    --size_;
    // Pull back every later member of the run that may now be missed.
    for (size_t j = Next(i); table_[j]; j = Next(j)) {
      size_t home = Home(KeyOf::Of(table_[j]));
      // Keep j where it is when its home lies cyclically in (i, j].
      bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (stays) continue;
      table_[i] = table_[j];
      table_[j] = nullptr;
      i = j;
    }
  }

  void Clear() {
    table_.clear();
    size_ = 0;
  }

 private:
  size_t Home(std::string_view key) const { return std::hash<std::string_view>{}(key) & (table_.size() - 1); }
  size_t Next(size_t i) const { return (i + 1) & (table_.size() - 1); }

  void Grow() {
    std::vector<T*> old;
    old.swap(table_);
    table_.assign(old.empty() ? 16 : old.size() * 2, nullptr);
    size_ = 0;
    for (T* m : old)
      if (m) Insert(m);
  }

  std::vector<T*> table_;  // size a power of two, or empty
  size_t size_ = 0;
};

}  // namespace qvr::toolkit::internal

#endif  // QVR_TOOLKIT_INTERNAL_KEY_INDEX_H_
