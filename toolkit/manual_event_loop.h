// ManualEventLoop: an EventLoop whose clock moves only when told, for tests
// and for hosts without a loop of their own.
//
// Advance(ms) moves the clock and runs every timer tick that falls due, in
// time order. ProcessEvents runs the hook a test installs (standing for the
// person acting while the loop runs) and counts the calls.
#ifndef QVR_TOOLKIT_MANUAL_EVENT_LOOP_H_
#define QVR_TOOLKIT_MANUAL_EVENT_LOOP_H_

#include <cstdint>
#include <functional>
#include <map>

#include "toolkit/event_loop.h"

namespace qvr::toolkit {

class ManualEventLoop : public EventLoop {
 public:
  TimerId StartTimer(int32_t interval_ms, std::function<void()> tick) override;
  void StopTimer(TimerId id) override;
  void ProcessEvents() override;

  // Milliseconds since the loop was made.
  int64_t Now() const { return now_; }
  // Moves the clock by `ms` and runs the ticks that fall due on the way.
  void Advance(int64_t ms);

  // Runs inside every ProcessEvents call; empty by default.
  void SetProcessEventsHook(std::function<void()> hook) { hook_ = std::move(hook); }
  int64_t ProcessEventsCount() const { return process_events_count_; }

  // Timers running now.
  size_t ActiveTimers() const { return timers_.size(); }

 private:
  struct Entry {
    int32_t interval_ms;
    int64_t due;
    std::function<void()> tick;
  };
  std::map<TimerId, Entry> timers_;
  TimerId next_id_ = 1;
  int64_t now_ = 0;
  int64_t process_events_count_ = 0;
  std::function<void()> hook_;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_MANUAL_EVENT_LOOP_H_
