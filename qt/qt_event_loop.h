// QtEventLoop: the toolkit's EventLoop over Qt's own loop: timers are
// QTimers, letting the loop run is QCoreApplication::processEvents.
#ifndef QVR_QT_QT_EVENT_LOOP_H_
#define QVR_QT_QT_EVENT_LOOP_H_

#include <QObject>
#include <QTimer>
#include <map>

#include "toolkit/event_loop.h"

namespace qvr::view {

class QtEventLoop : public QObject, public toolkit::EventLoop {
 public:
  explicit QtEventLoop(QObject* parent = nullptr) : QObject(parent) {}
  ~QtEventLoop() override;

  TimerId StartTimer(int32_t interval_ms, std::function<void()> tick) override;
  void StopTimer(TimerId id) override;
  void ProcessEvents() override;

  int64_t ProcessEventsCount() const { return process_events_count_; }

 private:
  std::map<TimerId, QTimer*> timers_;
  TimerId next_id_ = 1;
  int64_t process_events_count_ = 0;
};

}  // namespace qvr::view

#endif  // QVR_QT_QT_EVENT_LOOP_H_
