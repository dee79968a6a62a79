// OrderedSlots: an ordered sequence of pointers that knows each member's
// 0-based position cheaply while members come and go.
//
// Members sit in slots; a member records its slot where `Slot::Of(member)`
// (an int32_t&) says.
// Appending and removing at the end cost O(1). Removing elsewhere leaves an
// empty slot; while there are empty slots, positions come from a Fenwick tree
// over the occupied slots (O(log n)), built on the first such removal. When
// empty slots outnumber members the slots are compacted, so removing every
// member one by one costs O(n log n) in all, not O(n^2). Inserting anywhere
// but the end compacts and shifts: O(n), as it must be.
#ifndef QVR_TOOLKIT_INTERNAL_ORDERED_SLOTS_H_
#define QVR_TOOLKIT_INTERNAL_ORDERED_SLOTS_H_

#include <cstdint>
#include <vector>

namespace qvr::toolkit::internal {

template <class T, class Slot>
class OrderedSlots {
 public:
  int32_t Size() const { return alive_; }
  bool Empty() const { return alive_ == 0; }

  void PushBack(T* member) {
    Slot::Of(member) = static_cast<int32_t>(slots_.size());
    slots_.push_back(member);
    ++alive_;
    if (!fenwick_.empty()) FenwickPushBack(1);
  }

  // Inserts before the member now at `position` (Size() appends).
  void Insert(int32_t position, T* member) {
    if (position >= alive_) {
      PushBack(member);
      return;
    }
    Compact();
    slots_.insert(slots_.begin() + position, member);
    ++alive_;
    Renumber(position);
  }

  void Erase(T* member) {
    int32_t slot = Slot::Of(member);
    if (slot < 0 || slot >= static_cast<int32_t>(slots_.size()) || slots_[slot] != member) return;
    Slot::Of(member) = -1;
    --alive_;
    if (slot + 1 == static_cast<int32_t>(slots_.size())) {
      slots_.pop_back();
      if (!fenwick_.empty()) fenwick_.pop_back();  // the last node covers only itself
      TrimTail();
    } else {
      if (fenwick_.empty()) BuildFenwick();
      slots_[slot] = nullptr;
      FenwickAdd(slot + 1, -1);
    }
    if (Holes() > alive_) Compact();
  }

  // 0-based position of a member of this sequence.
  int32_t PositionOf(const T* member) const {
    int32_t slot = Slot::Of(member);
    if (fenwick_.empty()) return slot;
    return FenwickPrefix(slot + 1) - 1;
  }

  // The member at a 0-based position, or nullptr outside 0..Size()-1.
  T* At(int32_t position) const {
    if (position < 0 || position >= alive_) return nullptr;
    if (fenwick_.empty()) return slots_[position];
    return slots_[FenwickSelect(position + 1) - 1];
  }

  void Clear() {
    for (T* m : slots_)
      if (m) Slot::Of(m) = -1;
    slots_.clear();
    fenwick_.clear();
    alive_ = 0;
  }

  // Visits the members in order; `fn` must not change the sequence.
  template <class Fn>
  void ForEach(Fn fn) const {
    for (T* m : slots_)
      if (m) fn(m);
  }

 private:
  int32_t Holes() const { return static_cast<int32_t>(slots_.size()) - alive_; }

  void TrimTail() {
    while (!slots_.empty() && slots_.back() == nullptr) {
      slots_.pop_back();
      if (!fenwick_.empty()) fenwick_.pop_back();
    }
    if (Holes() == 0) fenwick_.clear();
  }

  void Compact() {
    if (Holes() == 0) {
      fenwick_.clear();
      return;
    }
    size_t out = 0;
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i]) slots_[out++] = slots_[i];
    slots_.resize(out);
    fenwick_.clear();
    Renumber(0);
  }

  void Renumber(int32_t from) {
    for (size_t i = static_cast<size_t>(from); i < slots_.size(); ++i)
      Slot::Of(slots_[i]) = static_cast<int32_t>(i);
  }

  // Fenwick tree over slot occupancy, 1-based: fenwick_[i-1] covers slots
  // (i - lowbit(i), i].
  static int32_t LowBit(int32_t i) { return i & -i; }

  void BuildFenwick() {
    int32_t n = static_cast<int32_t>(slots_.size());
    fenwick_.assign(static_cast<size_t>(n), 0);
    for (int32_t i = 1; i <= n; ++i) {
      fenwick_[i - 1] += slots_[i - 1] ? 1 : 0;
      int32_t j = i + LowBit(i);
      if (j <= n) fenwick_[j - 1] += fenwick_[i - 1];
    }
  }
  void FenwickPushBack(int32_t value) {
    int32_t i = static_cast<int32_t>(fenwick_.size()) + 1;
    int32_t covered = FenwickPrefix(i - 1) - FenwickPrefix(i - LowBit(i));
    fenwick_.push_back(value + covered);
  }
  void FenwickAdd(int32_t i, int32_t delta) {
    int32_t n = static_cast<int32_t>(fenwick_.size());
    for (; i <= n; i += LowBit(i)) fenwick_[i - 1] += delta;
  }
  int32_t FenwickPrefix(int32_t i) const {
    int32_t sum = 0;
    for (; i > 0; i -= LowBit(i)) sum += fenwick_[i - 1];
    return sum;
  }
  // The smallest slot i (1-based) whose prefix count reaches k.
  int32_t FenwickSelect(int32_t k) const {
    int32_t n = static_cast<int32_t>(fenwick_.size());
    int32_t pos = 0;
    int32_t step = 1;
    while (step * 2 <= n) step *= 2;
    for (; step > 0; step /= 2) {
      if (pos + step <= n && fenwick_[pos + step - 1] < k) {
        pos += step;
        k -= fenwick_[pos - 1];
      }
    }
    return pos + 1;
  }

  std::vector<T*> slots_;
  std::vector<int32_t> fenwick_;  // empty while there are no holes
  int32_t alive_ = 0;
};

}  // namespace qvr::toolkit::internal

#endif  // QVR_TOOLKIT_INTERNAL_ORDERED_SLOTS_H_
