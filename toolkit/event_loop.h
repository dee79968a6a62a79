// EventLoop: the host's message loop, as the widgets need it.
//
// The widgets have no thread and no loop of their own. Timers ask the host's
// loop to call them back; long-running work lets the host's loop run once
// (ProcessEvents) so the window stays responsive. A window front end
// implements this over its own loop; tests use ManualEventLoop, whose clock
// only moves when told.
#ifndef QVR_TOOLKIT_EVENT_LOOP_H_
#define QVR_TOOLKIT_EVENT_LOOP_H_

#include <cstdint>
#include <functional>

namespace qvr::toolkit {

class EventLoop {
 public:
  using TimerId = uint64_t;

  virtual ~EventLoop() = default;

  // Calls `tick` every `interval_ms` milliseconds (at least 1) from the loop,
  // until StopTimer. Returns an id that is never 0.
  virtual TimerId StartTimer(int32_t interval_ms, std::function<void()> tick) = 0;
  // Stops a timer; unknown ids are ignored. Safe to call from inside its tick.
  virtual void StopTimer(TimerId id) = 0;
  // Lets the loop handle pending events once and returns (what a program's
  // "do events" call does). May run event handlers re-entrantly.
  virtual void ProcessEvents() = 0;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_EVENT_LOOP_H_
