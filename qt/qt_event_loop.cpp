#include "qt/qt_event_loop.h"

#include <QCoreApplication>
#include <algorithm>

namespace qvr::view {

QtEventLoop::~QtEventLoop() {
  for (auto& [id, timer] : timers_) delete timer;
}

toolkit::EventLoop::TimerId QtEventLoop::StartTimer(int32_t interval_ms, std::function<void()> tick) {
  TimerId id = next_id_++;
  auto* timer = new QTimer(this);
  timer->setInterval(std::max<int32_t>(interval_ms, 1));
  QObject::connect(timer, &QTimer::timeout, this, [tick = std::move(tick)] { tick(); });
  timers_.emplace(id, timer);
  timer->start();
  return id;
}

void QtEventLoop::StopTimer(TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second->deleteLater();  // the timer may be inside its own tick
  timers_.erase(it);
}

void QtEventLoop::ProcessEvents() {
  ++process_events_count_;
  QCoreApplication::processEvents();
}

}  // namespace qvr::view
