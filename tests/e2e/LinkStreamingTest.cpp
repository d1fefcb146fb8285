// Whole-system runs on virtual time: segments streamed through the polled link into the
// simulated controller, and a controller that falls silent in the middle of a job.
#include <gtest/gtest.h>

#include <cstdlib>

#include "link/Commands.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

// A small deterministic generator, so every run streams the same job.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  // 0 .. n-1
  int Next(int n) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 8) % static_cast<uint32_t>(n));
  }

 private:
  uint32_t state_;
};

struct StreamRig : SimSystem {
  StreamRig() {
    // The fastest feed, and no contour cap in the controller, so the job takes minutes, not hours.
    sys->config.Config.CV_Max = 250;
    sys->console.State.FeedIndex = 250;
    EXPECT_TRUE(ConnectAndInitialise());
  }

  // Starts a job the way the engines do: direct sending, a cleared and started buffer.
  void BeginJob() {
    sys->flags.AbortRun = 0;
    sys->link.SetDirectSend(true);
    sys->link.QueueCommand(commands::ClearBuffer());
    sys->link.QueueCommand(commands::StartBuffer());
  }
  void EndJob() {
    sys->segments.FlushSegments();
    sys->link.QueueCommand(commands::EndOfJob());
    sys->link.SetDirectSend(false);
  }

  // Streams `count` segments: runs of XYZ moves and runs of laser moves, mostly short, some
  // far beyond one packet's reach. `each` runs after every segment.
  void Stream(int count, const std::function<void(int)>& each = {}) {
    Lcg rng(20260105);
    SegmentBuffer& seg = sys->segments;
    bool laser = false;
    int runLeft = 0;
    for (int i = 0; i < count && !sys->flags.StopWaiting(); ++i) {
      if (runLeft == 0) {
        seg.FlushSegments();
        laser = !laser && rng.Next(3) == 0;
        seg.LaserSegments = laser;
        // Laser moves leave the laser power where Z was; the XYZ run starts from Z again.
        if (!laser) seg.LastStepZ = static_cast<int32_t>(z);
        runLeft = 20 + rng.Next(200);
      }
      --runLeft;
      // Wander, but stay inside the machine's travel (it stands at 43000, 43000 at power-up).
      const auto toward = [&](int64_t at) { return at > 100000 ? -1 : at < 0 ? 1 : (rng.Next(2) ? 1 : -1); };
      int64_t dx = toward(x) * rng.Next(401), dy = toward(y) * rng.Next(401), dz = 0;
      if (rng.Next(400) == 0) {
        dx = (x > 50000 ? -1 : 1) * (32001 + rng.Next(40000));
        dy = toward(y) * rng.Next(10001);
      }
      if (dx == 0 && dy == 0) dx = 7;
      x += dx;
      y += dy;
      if (laser) {
        seg.QueueMoveW(static_cast<int32_t>(x), static_cast<int32_t>(y), rng.Next(256), 0);
      } else {
        if (rng.Next(10) == 0) dz = (z > 2000 ? -1 : z < -2000 ? 1 : (rng.Next(2) ? 1 : -1)) * rng.Next(101);
        z += dz;
        seg.QueueMove(static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(z), 0);
      }
      if (each) each(i);
    }
  }

  int64_t x = 0, y = 0, z = 0;
};

TEST(LinkStreaming, TwentyThousandSegmentsArriveWithoutOverrunAndEndWhereTheyAddUp) {
  StreamRig rig;
  System& s = *rig.sys;
  ASSERT_EQ(rig.sim.Position()[sim::kZ], 0);
  rig.BeginJob();
  rig.Stream(20000);
  rig.EndJob();
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.sim.JobRunning() && !s.console.State.JobActive; }, 4 * 3600 * 1000));
  EXPECT_EQ(rig.sim.Overruns(), 0u);
  EXPECT_EQ(s.segments.SegmentsQueued, 20000u);
  EXPECT_GT(s.segments.LaserCount, 1000u);
  EXPECT_GT(s.segments.PacketsSent, 20000u);  // the long segments went in pieces
  const sim::Steps4 p = rig.sim.Position();
  EXPECT_EQ(p[sim::kX], rig.x);
  EXPECT_EQ(p[sim::kY], rig.y);
  EXPECT_EQ(p[sim::kZ], rig.z);
  // The status reaction saw the job end with the buffer empty.
  EXPECT_TRUE(s.status.Run.JobCompleted);
  const auto history = s.jumpbox.View.Fault_list.Items();
  ASSERT_FALSE(history.empty());
  EXPECT_NE(history.back().find("* Completed "), std::string::npos);
  EXPECT_EQ(s.console.View.Running.Caption(), "Local");
  EXPECT_EQ(rig.sim.Starvations(), 0u);
}

TEST(LinkStreaming, DeadLineMidJobEndsInControllerNotResponding) {
  StreamRig rig;
  System& s = *rig.sys;
  rig.BeginJob();
  int64_t diedAt = 0;
  rig.Stream(20000, [&](int i) {
    if (i == 3000) {
      rig.sim.SetDeadLine(true);
      diedAt = rig.loop.NowUs();
    }
  });
  rig.EndJob();
  ASSERT_GT(diedAt, 0);
  EXPECT_LT(rig.loop.NowUs() - diedAt, 10'000'000);
  EXPECT_EQ(s.console.View.Running.Caption(), "Controller not responding");
  EXPECT_EQ(s.console.View.Progress.Caption(), "Job not completed ! Controller not responding");
  EXPECT_EQ(s.flags.AbortRun, 1);
  const auto history = s.jumpbox.View.Fault_list.Items();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_NE(history[0].find("* Controller not responding"), std::string::npos);
  // Every later wait that needs replies ends at once.
  const int64_t before = rig.loop.NowUs();
  EXPECT_FALSE(s.polling.PollWhileWaiting());
  EXPECT_FALSE(s.sender.WaitMoveDone());
  EXPECT_FALSE(s.link.ReadVariables(3));
  EXPECT_LT(rig.loop.NowUs() - before, 2'000'000);
  EXPECT_EQ(rig.sim.Overruns(), 0u);
}

}  // namespace
}  // namespace wendlar::testing
