// KeyedList: the ordered, keyed collection behind every collection class.
//
// Items have 1-based positions. An item may carry a string key; keys are
// unique and compare without regard to case (across Unicode) on insertion and
// on look-up. Items can be inserted before a position or appended; look-up and
// removal work by key or by position, and the positions of later items shift
// when one is inserted or removed. Look-up by key or position is constant time.
//
// Errors are those a classic collection raises, as AutomationError:
//   457 "This key is already associated with an element of this collection"
//     5 "Invalid procedure call or argument"  (a key that is not present)
//     9 "Subscript out of range"              (a position that is not present)
// Callers to whom a missing item or a taken key is no failure ask first, with
// Find and TryAdd, which never raise these.
#ifndef QVR_AUTOMATION_KEYED_LIST_H_
#define QVR_AUTOMATION_KEYED_LIST_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/automation_error.h"
#include "base/unicode.h"
#include "automation/variant.h"

namespace qvr {

template <class T>
class KeyedList {
  struct Entry {
    std::string key;
    T item;
  };

 public:
  KeyedList() = default;
  KeyedList(const KeyedList&) = delete;
  KeyedList& operator=(const KeyedList&) = delete;
  KeyedList(KeyedList&&) noexcept = default;
  KeyedList& operator=(KeyedList&&) noexcept = default;

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }

  // Appends `item` (or inserts it before position `before` when that is not 0).
  // An empty `key` adds the item without a key. Throws 457 for a key already
  // present and 5 for a `before` position that does not exist; the list is then
  // unchanged.
  void Add(T item, std::string_view key = {}, int32_t before = 0) {
    if (!TryAdd(std::move(item), key, before)) throw errors::DuplicateKey(source_);
  }

  // As Add, but a key already present is no error: returns false and leaves
  // the list unchanged. A `before` position that does not exist still throws 5.
  bool TryAdd(T item, std::string_view key = {}, int32_t before = 0) {
    std::string folded;
    if (!key.empty()) {
      folded = FoldCase(key);
      if (index_.count(folded)) return false;
    }
    if (before != 0 && (before < 1 || before > Count())) throw errors::InvalidProcedureCall(source_);
    auto entry = std::make_unique<Entry>(Entry{std::string(key), std::move(item)});
    Entry* raw = entry.get();
    if (before == 0) {
      entries_.push_back(std::move(entry));
    } else {
      entries_.insert(entries_.begin() + (before - 1), std::move(entry));
    }
    if (!key.empty()) index_.emplace(std::move(folded), raw);
    return true;
  }

  // The item at a 1-based position; throws 9 when there is none.
  const T& Item(int32_t position) const { return entries_[CheckedIndex(position)]->item; }
  T& Item(int32_t position) { return entries_[CheckedIndex(position)]->item; }

  // The item under `key`; throws 5 when no item has that key.
  const T& Item(std::string_view key) const { return CheckedFind(key)->item; }
  T& Item(std::string_view key) { return CheckedFind(key)->item; }

  const T& Item(const char* key) const { return Item(std::string_view(key)); }
  T& Item(const char* key) { return Item(std::string_view(key)); }

  // The item named by an automation index: a number is a position, a text a key.
  // Anything else raises 13 (type mismatch); a failed look-up raises as above.
  const T& Item(const Variant& index_or_key) const {
    if (index_or_key.IsString()) return Item(std::string_view(index_or_key.AsString()));
    return Item(index_or_key.ToLong());
  }

  // The look-ups above without the errors: the item, or nullptr where Item
  // would throw. For callers to whom a missing item is no failure.
  const T* Find(int32_t position) const {
    return position < 1 || position > Count() ? nullptr : &entries_[position - 1]->item;
  }
  const T* Find(std::string_view key) const {
    auto it = index_.find(FoldCase(key));
    return it == index_.end() ? nullptr : &it->second->item;
  }
  const T* Find(const char* key) const { return Find(std::string_view(key)); }
  // An index that names no position (Null, an object, a number out of the
  // Long range...) finds nothing.
  const T* Find(const Variant& index_or_key) const {
    if (index_or_key.IsString()) return Find(std::string_view(index_or_key.AsString()));
    std::optional<int32_t> position = index_or_key.TryToLong();
    return position ? Find(*position) : nullptr;
  }
  T* Find(int32_t position) { return const_cast<T*>(std::as_const(*this).Find(position)); }
  T* Find(std::string_view key) { return const_cast<T*>(std::as_const(*this).Find(key)); }
  T* Find(const char* key) { return const_cast<T*>(std::as_const(*this).Find(key)); }
  T* Find(const Variant& index_or_key) {
    return const_cast<T*>(std::as_const(*this).Find(index_or_key));
  }
  bool Contains(std::string_view key) const { return Find(key) != nullptr; }

  // The key of the item at a position ("" for an item added without one).
  const std::string& KeyAt(int32_t position) const { return entries_[CheckedIndex(position)]->key; }

  // Removal by position (throws 9) or key (throws 5).
  void Remove(int32_t position) { Erase(CheckedIndex(position)); }
  void Remove(std::string_view key) {
    const Entry* target = CheckedFind(key);
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].get() == target) {
        Erase(i);
        return;
      }
    }
  }
  void Remove(const char* key) { Remove(std::string_view(key)); }
  void Remove(const Variant& index_or_key) {
    if (index_or_key.IsString()) {
      Remove(std::string_view(index_or_key.AsString()));
    } else {
      Remove(index_or_key.ToLong());
    }
  }

  void Clear() {
    index_.clear();
    entries_.clear();
  }

  // Iteration over the items in order.
  class const_iterator {
   public:
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    const_iterator() = default;
    explicit const_iterator(typename std::vector<std::unique_ptr<Entry>>::const_iterator it)
        : it_(it) {}
    const T& operator*() const { return (*it_)->item; }
    const T* operator->() const { return &(*it_)->item; }
    const_iterator& operator++() {
      ++it_;
      return *this;
    }
    const_iterator operator++(int) {
      auto copy = *this;
      ++it_;
      return copy;
    }
    bool operator==(const const_iterator& other) const { return it_ == other.it_; }

   private:
    typename std::vector<std::unique_ptr<Entry>>::const_iterator it_;
  };
  const_iterator begin() const { return const_iterator(entries_.begin()); }
  const_iterator end() const { return const_iterator(entries_.end()); }

  // The component named as the source of the errors raised.
  void SetErrorSource(std::string source) { source_ = std::move(source); }

 private:
  size_t CheckedIndex(int32_t position) const {
    if (position < 1 || position > Count()) throw errors::SubscriptOutOfRange(source_);
    return static_cast<size_t>(position - 1);
  }
  Entry* CheckedFind(std::string_view key) const {
    auto it = index_.find(FoldCase(key));
    if (it == index_.end()) throw errors::InvalidProcedureCall(source_);
    return it->second;
  }
  void Erase(size_t i) {
    if (!entries_[i]->key.empty()) index_.erase(FoldCase(entries_[i]->key));
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
  }

  std::vector<std::unique_ptr<Entry>> entries_;
  std::unordered_map<std::string, Entry*> index_;
  std::string source_ = "qvrRegistryBrowser";
};

}  // namespace qvr

#endif  // QVR_AUTOMATION_KEYED_LIST_H_
