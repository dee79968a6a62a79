// Timer: raises its Timer event every Interval milliseconds while Enabled.
//
// The ticks come from the host's EventLoop. Switching Enabled on starts the
// count afresh; switching it off (also from inside the Timer event) stops it
// before the next tick. An Interval of 0 keeps the timer from ticking.
#ifndef QVR_TOOLKIT_TIMER_H_
#define QVR_TOOLKIT_TIMER_H_

#include <cstdint>
#include <functional>

#include "toolkit/event_loop.h"

namespace qvr::toolkit {

class Timer {
 public:
  explicit Timer(EventLoop& loop, int32_t interval_ms = 0);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  bool Enabled() const { return enabled_; }
  void Enabled(bool vData);

  int32_t Interval() const { return interval_; }
  // Changing the interval of a running timer restarts its count.
  void Interval(int32_t vData);

  // The Timer event.
  void OnTimer(std::function<void()> handler) { on_timer_ = std::move(handler); }

 private:
  void Restart();
  void Tick();

  EventLoop& loop_;
  int32_t interval_;
  bool enabled_ = false;
  EventLoop::TimerId running_ = 0;
  std::function<void()> on_timer_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_TIMER_H_
