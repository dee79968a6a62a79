// MemberEnumerator<T>: the enumerator that NewEnum hands out for a host's
// iteration statement ("For Each").
//
// It walks a snapshot of the collection's members taken when it was made, so
// removing or adding members while iterating neither skips nor repeats any.
//
//   auto it = keys->NewEnum();
//   std::shared_ptr<qvrClsKey> key;
//   while (it->Next(&key)) { ... }
#ifndef QVR_AUTOMATION_MEMBER_ENUMERATOR_H_
#define QVR_AUTOMATION_MEMBER_ENUMERATOR_H_

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "automation/variant.h"

namespace qvr {

template <class T>
class MemberEnumerator : public Object {
 public:
  explicit MemberEnumerator(std::vector<std::shared_ptr<T>> members)
      : members_(std::move(members)) {}

  // Gives the next member in `*item` and returns true; false (and `*item`
  // reset) past the last one.
  bool Next(std::shared_ptr<T>* item) {
    if (next_ >= members_.size()) {
      item->reset();
      return false;
    }
    *item = members_[next_++];
    return true;
  }

  // Passes over up to `count` members; false when fewer were left.
  bool Skip(size_t count) {
    size_t left = members_.size() - next_;
    next_ += count < left ? count : left;
    return count <= left;
  }

  void Reset() { next_ = 0; }

  // A new enumerator over the same snapshot, at the same place.
  std::shared_ptr<MemberEnumerator> Clone() const {
    auto copy = std::make_shared<MemberEnumerator>(members_);
    copy->next_ = next_;
    return copy;
  }

 private:
  std::vector<std::shared_ptr<T>> members_;
  size_t next_ = 0;
};

}  // namespace qvr

#endif  // QVR_AUTOMATION_MEMBER_ENUMERATOR_H_
