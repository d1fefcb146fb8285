// The event-loop seam on Qt: QTimer timers, processEvents pumping, queued posts.
#pragma once

#include <QElapsedTimer>
#include <QObject>

#include "core/EventLoop.h"

namespace wendlar::ui {

// Lives on the GUI thread beside the QApplication. Timers stop while their handler runs
// and start a full period when it returns, so a handler that pumps never re-enters itself.
class QtEventLoop : public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;

  std::unique_ptr<Timer> CreateTimer(int intervalMs, bool enabled, Handler handler) override;
  // processEvents: repaints, input, due timers and posted work; never waits.
  void PumpMessages() override;
  // Queued to the loop: runs after the current handler has returned.
  void Post(Handler work) override;
  int64_t NowUs() const override;
  std::chrono::system_clock::time_point WallClock() const override;
  // Pumps until done() or timeoutMs, sleeping at most 1 ms between passes since serial
  // bytes arrive without waking the loop.
  bool WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) override;

 private:
  QElapsedTimer clock_;
  QObject context_;  // posted work dies with the loop
};

}  // namespace wendlar::ui
