#include "ui/QtEventLoop.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace wendlar::ui {

namespace {

class QtTimer : public Timer {
 public:
  QtTimer(int intervalMs, bool enabled, Handler handler)
      : timer_(new QTimer), state_(std::make_shared<State>()) {
    state_->handler = std::move(handler);
    state_->intervalMs = std::max(intervalMs, 1);
    state_->enabled = enabled;
    timer_->setSingleShot(true);  // re-armed after each handler, a full period from then
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(state_->intervalMs);
    std::shared_ptr<State> state = state_;
    QTimer* raw = timer_;
    QObject::connect(timer_, &QTimer::timeout, [state, raw] {
      if (!state->enabled || state->inHandler) return;
      state->inHandler = true;
      Handler handler = state->handler;  // the timer may be destroyed by its own handler
      handler();
      state->inHandler = false;
      if (!state->destroyed && state->enabled) raw->start(state->intervalMs);
    });
    if (enabled) timer_->start();
  }

  ~QtTimer() override {
    state_->destroyed = true;
    state_->enabled = false;
    timer_->stop();
    // Deleting the sender inside its own timeout emission is not safe.
    if (state_->inHandler) {
      timer_->deleteLater();
    } else {
      delete timer_;
    }
  }

  void SetInterval(int intervalMs) override {
    state_->intervalMs = std::max(intervalMs, 1);
    timer_->setInterval(state_->intervalMs);
    if (state_->enabled && !state_->inHandler) timer_->start();
  }
  int Interval() const override { return state_->intervalMs; }
  void SetEnabled(bool enabled) override {
    if (enabled == state_->enabled) return;
    state_->enabled = enabled;
    if (!enabled) {
      timer_->stop();
    } else if (!state_->inHandler) {
      timer_->start(state_->intervalMs);
    }
  }
  bool Enabled() const override { return state_->enabled; }
  bool InHandler() const override { return state_->inHandler; }

 private:
  struct State {
    Handler handler;
    int intervalMs = 1;
    bool enabled = false;
    bool inHandler = false;
    bool destroyed = false;
  };
  QTimer* timer_;
  std::shared_ptr<State> state_;
};

}  // namespace

QtEventLoop::QtEventLoop() { clock_.start(); }

QtEventLoop::~QtEventLoop() = default;

std::unique_ptr<Timer> QtEventLoop::CreateTimer(int intervalMs, bool enabled, Handler handler) {
  return std::make_unique<QtTimer>(intervalMs, enabled, std::move(handler));
}

void QtEventLoop::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventLoop::Post(Handler work) {
  QMetaObject::invokeMethod(&context_, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

int64_t QtEventLoop::NowUs() const { return clock_.nsecsElapsed() / 1000; }

std::chrono::system_clock::time_point QtEventLoop::WallClock() const { return std::chrono::system_clock::now(); }

bool QtEventLoop::WaitUntil(const std::function<bool()>& done, int64_t timeoutMs) {
  const int64_t deadline = NowUs() + timeoutMs * 1000;
  for (;;) {
    if (done()) return true;
    const int64_t left = deadline - NowUs();
    if (left <= 0) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (done()) return true;
    QThread::usleep(static_cast<unsigned long>(std::min<int64_t>(left, 1000)));
  }
}

}  // namespace wendlar::ui
