#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/VirtualEventLoop.h"

namespace wendlar {
namespace {

TEST(VirtualEventLoop, TimersFireAtTheirIntervalNeverReenterTheirHandlerAndMayDestroyThemselves) {
  VirtualEventLoop loop;
  int ticks = 0;
  int nested = 0;
  std::unique_ptr<Timer> timer;
  timer = loop.CreateTimer(200, true, [&] {
    ++ticks;
    // A handler that pumps (as every wait does) must not see itself fire again.
    const int before = ticks;
    loop.WaitUntil([] { return false; }, 1000);
    if (ticks != before) ++nested;
  });
  loop.RunFor(1000);
  EXPECT_EQ(nested, 0);
  EXPECT_GE(ticks, 1);

  VirtualEventLoop plain;
  int fired = 0;
  auto t = plain.CreateTimer(200, true, [&] { ++fired; });
  plain.RunFor(1000);
  EXPECT_EQ(fired, 5);
  t->SetEnabled(false);
  plain.RunFor(1000);
  EXPECT_EQ(fired, 5);

  // A timer may destroy itself in its handler.
  std::unique_ptr<Timer> once = plain.CreateTimer(10, true, [&] {
    ++fired;
    once.reset();
  });
  plain.RunFor(100);
  EXPECT_EQ(fired, 6);
}

TEST(VirtualEventLoop, WaitUntilJumpsToTheNextEventEndsAtItsTimeoutAndGivesUpWhenNothingCanEndIt) {
  VirtualEventLoop loop;
  int clockTicks = 0;
  auto clock = loop.CreateTimer(200, true, [&] { ++clockTicks; });
  EXPECT_TRUE(loop.WaitUntil([&] { return clockTicks >= 14; }, 10000));
  EXPECT_NEAR(loop.NowUs(), 14 * 200000, 1000);

  clock->SetEnabled(false);
  const int64_t before = loop.NowUs();
  // No timer runs: the wait ends at once instead of hanging.
  EXPECT_FALSE(loop.WaitUntil([&] { return clockTicks >= 100; }, 60000));
  EXPECT_LT(loop.NowUs() - before, 1000);

  // With a timer running, the wait ends at its timeout.
  auto busy = loop.CreateTimer(15, true, [] {});
  const int64_t start = loop.NowUs();
  EXPECT_FALSE(loop.WaitUntil([] { return false; }, 2000));
  EXPECT_GE(loop.NowUs() - start, 2000000);
  EXPECT_LT(loop.NowUs() - start, 2100000);
}

TEST(VirtualEventLoop, PostedWorkRunsAfterTheCurrentHandlerInOrder) {
  VirtualEventLoop loop;
  std::vector<int> order;
  std::unique_ptr<Timer> timer;
  timer = loop.CreateTimer(50, true, [&] {
    timer->SetEnabled(false);
    loop.Post([&] { order.push_back(2); });
    loop.Post([&] { order.push_back(3); });
    order.push_back(1);
  });
  loop.RunFor(100);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(VirtualEventLoop, BusyWorkCostsVirtualTimeAndBulkPassesFireTheSameTimersAsPassByPassWork) {
  // The same timers on two clocks: one pumped pass by pass, one charged in bulk.
  auto record = [](VirtualEventLoop& loop, std::vector<int64_t>& fired, bool bulk) {
    std::unique_ptr<Timer> fast, slow;
    fast = loop.CreateTimer(2, true, [&] { fired.push_back(loop.NowUs()); });
    slow = loop.CreateTimer(15, true, [&] {
      fired.push_back(-loop.NowUs());
      // Posted work and busy work inside a handler, as the link's tick does.
      loop.Post([&] { fired.push_back(1000000000 + loop.NowUs()); });
      loop.Charge(333);
    });
    for (int pause = 0; pause < 40; ++pause) {
      if (bulk) {
        loop.BusyPasses(167, 4);
      } else {
        for (int pass = 0; pass < 167; ++pass) {
          loop.Charge(4);
          loop.PumpMessages();
        }
      }
      loop.Charge(1000);  // a line exchange between pauses
    }
  };
  VirtualEventLoop passByPass, bulk;
  std::vector<int64_t> expected, got;
  record(passByPass, expected, false);
  record(bulk, got, true);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(bulk.NowUs(), passByPass.NowUs());
  EXPECT_GT(expected.size(), 40u);

  // Each pass of the pump costs its fixed quantum.
  VirtualEventLoop idle;
  for (int i = 0; i < 1000; ++i) idle.PumpMessages();
  EXPECT_EQ(idle.NowUs(), 1000 * VirtualEventLoop::kPumpCostUs);
  idle.Charge(500);
  EXPECT_EQ(idle.NowUs(), 1000 * VirtualEventLoop::kPumpCostUs + 500);
}

// Passes skip the timer list while nothing is due: every change between passes (a new
// interval, a new or re-enabled timer, one changed by another's handler) still fires on
// time, and a timer that destroys itself in its handler leaves the others firing.
TEST(VirtualEventLoop, TimersChangedBetweenPassesFireAtTheirNewTimes) {
  VirtualEventLoop loop;
  std::vector<std::pair<char, int64_t>> fired;
  auto slow = loop.CreateTimer(50, true, [&] { fired.emplace_back('s', loop.NowUs() / 1000); });
  std::unique_ptr<Timer> once = loop.CreateTimer(4, true, [&] {
    fired.emplace_back('o', loop.NowUs() / 1000);
    once.reset();
  });
  loop.RunFor(5);
  slow->SetInterval(2);  // due at 7 ms now, not at 50
  loop.RunFor(3);
  auto added = loop.CreateTimer(1, true, [&] { fired.emplace_back('a', loop.NowUs() / 1000); });
  std::unique_ptr<Timer> late = loop.CreateTimer(30, false, [&] { fired.emplace_back('l', loop.NowUs() / 1000); });
  loop.RunFor(1);
  slow->SetEnabled(false);
  added->SetEnabled(false);
  auto enabler = loop.CreateTimer(3, true, [&] { late->SetInterval(1), late->SetEnabled(true); });
  loop.RunFor(5);
  EXPECT_EQ(fired,
            (std::vector<std::pair<char, int64_t>>{{'o', 4}, {'s', 7}, {'s', 9}, {'a', 9}, {'l', 13}, {'l', 14}}));
}

}  // namespace
}  // namespace wendlar
