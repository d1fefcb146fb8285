#include <gtest/gtest.h>

#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

TEST(DiagMenu, EachEntrySendsItsRecordToTheController) {
  SimSystem s;
  ASSERT_TRUE(s.ConnectAndInitialise());
  System& sys = *s.sys;
  s.RunMs(200);  // the initialisation's last queued record leaves first
  const size_t from = s.sim.TraceRecords().size();

  sys.diag.ClearBufferClick();
  sys.diag.SpindleStartClick();
  sys.diag.SetSpindleClick(1);
  sys.diag.SpindleOffClick();
  sys.diag.Aux1Click(true);
  sys.diag.BuildTableClick();
  sys.diag.ResetClick();
  s.RunMs(500);

  const std::vector<Packet> expected{P({12}), P({14}), P({13, 1}), P({15}), P({17, 1, 1}), P({30, 1}), P({1})};
  const auto records = s.Records(from);
  ASSERT_GE(records.size(), expected.size());
  EXPECT_EQ(std::vector<Packet>(records.begin(), records.begin() + expected.size()), expected);
}

TEST(DiagMenu, AccelParamsCarryTheRapidValueAndLoadTableIsRefusedDuringALongOperation) {
  SimSystem s;
  ASSERT_TRUE(s.ConnectAndInitialise());
  System& sys = *s.sys;
  s.RunMs(200);
  sys.config.Config.R_accel = 245;
  sys.config.Config.Contour_accel = 215;
  const size_t from = s.sim.TraceRecords().size();
  sys.diag.SendAccelParamsClick();
  const auto records = s.Records(from);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front()[0], 11);
  EXPECT_EQ(records.front()[1], 215);  // b1 stays the contour value
  EXPECT_EQ(records.front()[2], 245);

  {
    OperationGuard job(sys.console.State, LongOperation::Job);
    EXPECT_FALSE(sys.diag.LoadTableClick());
  }
  EXPECT_TRUE(sys.diag.LoadTableClick());
}

TEST(DiagMenu, TheTimerEntriesHoldAndResumePollingButNotBesideAJobNorWithoutAController) {
  SimSystem s;
  System& sys = *s.sys;
  EXPECT_FALSE(sys.diag.EnableTimerClick());  // nothing connected: the timer stays off
  EXPECT_FALSE(sys.link.UsbTimer().Enabled());
  ASSERT_TRUE(s.ConnectAndInitialise());

  ASSERT_TRUE(sys.diag.StopTimerClick());
  s.RunMs(100);
  const size_t from = s.sim.TraceLines().size();
  s.RunMs(500);
  EXPECT_TRUE(s.HostLines(from).empty()) << s.HostLines(from).front();
  ASSERT_TRUE(sys.diag.EnableTimerClick());
  s.RunMs(500);
  EXPECT_FALSE(s.HostLines(from).empty());

  {
    OperationGuard job(sys.console.State, LongOperation::Job);
    EXPECT_FALSE(sys.diag.StopTimerClick());
    EXPECT_TRUE(sys.link.UsbTimer().Enabled());
    EXPECT_EQ(sys.console.View.Com_list.Items().back(), "Busy: the link timer keeps running");
  }
}

}  // namespace
}  // namespace wendlar::testing
