#include "toolkit/timer.h"

namespace qvr::toolkit {

Timer::Timer(EventLoop& loop, int32_t interval_ms) : loop_(loop), interval_(interval_ms) {}

Timer::~Timer() {
  if (running_) loop_.StopTimer(running_);
}

void Timer::Enabled(bool vData) {
  if (enabled_ == vData) return;
  enabled_ = vData;
  Restart();
}

void Timer::Interval(int32_t vData) {
  if (interval_ == vData) return;
  interval_ = vData;
  Restart();
}

void Timer::Restart() {
  if (running_) {
    loop_.StopTimer(running_);
    running_ = 0;
  }
  if (enabled_ && interval_ > 0) running_ = loop_.StartTimer(interval_, [this] { Tick(); });
}

void Timer::Tick() {
  if (!enabled_) return;
  if (on_timer_) on_timer_();
}

}  // namespace qvr::toolkit
