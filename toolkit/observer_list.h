// ObserverList: the observers of one widget, none of them owned.
//
// An observer is added once however often it is added, and must be removed
// before it ends. ForEach walks a copy, so an observer may add or remove
// observers (itself included) while it is being told.
#ifndef QVR_TOOLKIT_OBSERVER_LIST_H_
#define QVR_TOOLKIT_OBSERVER_LIST_H_

#include <algorithm>
#include <vector>

namespace qvr::toolkit {

template <class Observer>
class ObserverList {
 public:
  void Add(Observer* observer) {
    if (std::find(list_.begin(), list_.end(), observer) == list_.end()) list_.push_back(observer);
  }
  void Remove(Observer* observer) {
    list_.erase(std::remove(list_.begin(), list_.end(), observer), list_.end());
  }
  template <class Fn>
  void ForEach(Fn fn) const {
    std::vector<Observer*> copy = list_;
    for (Observer* o : copy) fn(*o);
  }

 private:
  std::vector<Observer*> list_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_OBSERVER_LIST_H_
