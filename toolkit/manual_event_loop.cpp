#include "toolkit/manual_event_loop.h"

#include <algorithm>

namespace qvr::toolkit {

EventLoop::TimerId ManualEventLoop::StartTimer(int32_t interval_ms, std::function<void()> tick) {
  int32_t interval = std::max<int32_t>(interval_ms, 1);
  TimerId id = next_id_++;
  timers_.emplace(id, Entry{interval, now_ + interval, std::move(tick)});
  return id;
}

void ManualEventLoop::StopTimer(TimerId id) { timers_.erase(id); }

void ManualEventLoop::ProcessEvents() {
  ++process_events_count_;
  if (hook_) {
    // A copy: the hook may install another one.
    auto hook = hook_;
    hook();
  }
}

void ManualEventLoop::Advance(int64_t ms) {
  const int64_t end = now_ + std::max<int64_t>(ms, 0);
  for (;;) {
    // The earliest due timer within the step; ties go to the older timer.
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (it->second.due <= end && (next == timers_.end() || it->second.due < next->second.due))
        next = it;
    if (next == timers_.end()) break;
    now_ = next->second.due;
    next->second.due += next->second.interval_ms;
    auto tick = next->second.tick;  // the tick may stop its own timer
    tick();
  }
  now_ = end;
}

}  // namespace qvr::toolkit
