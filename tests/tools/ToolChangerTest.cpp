#include <gtest/gtest.h>

#include "link/Commands.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

struct ChangerRig {
  ChangerRig() {
    ok = s.ConnectAndInitialise();
    s.RunMs(300);  // the initialisation's queued records have left
  }
  System& sys() { return *s.sys; }
  TTC_menu& tc() { return s.sys->toolChanger; }
  int64_t NowMs() { return s.loop.NowUs() / 1000; }
  // Switches the spindle on (or off) in the controller and waits until it has taken the record.
  void Spindle(bool on) {
    sys().sender.Send(on ? commands::SpindleOn() : commands::SpindleOff());
    ASSERT_TRUE(s.RunUntil([&] { return !sys().link.CommandPending(); }, 200));
  }

  SimSystem s;
  bool ok = false;
};

TEST(ToolChanger, EveryButtonSendsItsByte) {
  ChangerRig rig;
  ASSERT_TRUE(rig.ok);
  TTC_menu& tc = rig.tc();
  const size_t from = rig.s.sim.TraceRecords().size();

  tc.View.spin1.SetPosition(200);
  tc.OX80Click();
  tc.RdbitClick();
  tc.setbitClick();
  tc.clrbitClick();
  tc.Send_SpiClick();
  tc.SpinEdit1Change();
  tc.Send_0Click();
  tc.OX73Click();
  tc.Rd_PortClick();
  tc.OX77Click();
  tc.OX51Click();
  tc.OX53Click();
  tc.hmClick();
  tc.View.spin1.SetPosition(7);
  tc.setbitClick();
  tc.clrbitClick();
  tc.OX80Click();
  tc.TC_disableClick();
  EXPECT_EQ(rig.sys().polling.ReadRequest, 5);
  tc.TC_enableClick();
  tc.Set_tcClick();
  EXPECT_EQ(rig.sys().polling.ReadRequest, 5);
  rig.s.RunMs(100);
  tc.set_memClick();
  rig.s.RunMs(100);

  const std::vector<Packet> expected{
      P({81, 0x48}), P({81, 0x88}), P({81, 0x21}), P({81, 0x41}), P({81, 200, 5}), P({81, 200, 5}),
      P({81, 0x00}), P({81, 0x73}), P({81, 0x9A}), P({81, 0x77}), P({81, 0x51}), P({81, 0x53}),
      P({81, 0xE1}), P({81, 0x21}), P({81, 0x41}), P({81, 0x87}), P({83, 0}), P({83, 1}),
      P({85, 2}), P({85, 0})};
  EXPECT_EQ(rig.s.Records(from), expected);

  const size_t initFrom = rig.s.sim.TraceRecords().size();
  tc.Init_SPIClick();
  EXPECT_EQ(rig.s.Records(initFrom), (std::vector<Packet>{P({80}), P({85, 2})}));
}

TEST(ToolChanger, TheMemoryReportIsListedOneByteALine) {
  ChangerRig rig;
  ASSERT_TRUE(rig.ok);
  TTC_menu& tc = rig.tc();
  tc.View.vars1.SetItems({"old"});
  tc.setbitClick();
  tc.View.spin1.SetPosition(26);
  tc.OX80Click();  // read the input port
  tc.View.spin1.SetPosition(0);
  tc.Send_SpiClick();  // clocks the port's answer into the memory report
  tc.Read_tcClick();
  EXPECT_TRUE(rig.sys().polling.PollingEnabled);
  // The rotation asks for the report at its fifth slot.
  ASSERT_TRUE(rig.s.RunUntil([&] { return rig.sys().polling.ReadRequest == 0; }, 1000));
  // Port: spindle stopped, carousel home, drawbar released (output 1 set).
  EXPECT_EQ(tc.View.vars1.Items(), (std::vector<std::string>{"   1", "   6", "   0", "   2", "   6"}));
}

TEST(ToolChanger, WaitSpindleStopEndsOnlyOnceTheSpindleHasCoastedDown) {
  ChangerRig rig;
  ASSERT_TRUE(rig.ok);
  TTC_menu& tc = rig.tc();
  // Stopped from the start: the wait ends at once, and leaves a "stopped" report behind.
  EXPECT_EQ(tc.Button1Click(), SpindleWait::Stopped);
  EXPECT_EQ(tc.View.TC_message.Caption(), "Spindle is Stopped ");

  // Each start at another point of the polling rotation, so the memory report comes before
  // or after the answer is latched.
  for (int phaseMs = 0; phaseMs < 240; phaseMs += 15) {
    rig.Spindle(true);
    rig.s.RunMs(500 + phaseMs);
    rig.Spindle(false);
    const int64_t offMs = rig.NowMs();
    // The last report the host holds still says "stopped", from before the spindle ran.
    ASSERT_EQ(rig.sys().link.MemoryReply[1], 1);
    EXPECT_EQ(tc.Button1Click(), SpindleWait::Stopped);
    const int64_t waitedMs = rig.NowMs() - offMs;
    EXPECT_GE(waitedMs, 1500) << phaseMs;  // the coast, not the old report
    EXPECT_LT(waitedMs, 3000) << phaseMs;
    EXPECT_TRUE(rig.s.sim.SpindleStopped());
    EXPECT_EQ(tc.View.TC_message.Caption(), "Spindle is Stopped ");
  }
  EXPECT_TRUE(rig.sys().polling.PollingEnabled);
  EXPECT_EQ(rig.sys().console.State.Operation, LongOperation::None);
}

TEST(ToolChanger, WaitSpindleStopEndsOnAStopALostControllerAndItsTimeLimit) {
  {
    ChangerRig rig;
    ASSERT_TRUE(rig.ok);
    rig.Spindle(true);
    const int64_t startMs = rig.NowMs();
    const auto stop = rig.s.loop.CreateTimer(700, true, [&] { rig.sys().run.EmergencyStop(); });
    EXPECT_EQ(rig.tc().Button1Click(), SpindleWait::Stopping);
    EXPECT_LT(rig.NowMs() - startMs, 1500);
    EXPECT_EQ(rig.tc().View.TC_message.Caption(), "Wait ended: machine stopped");
    EXPECT_TRUE(rig.sys().polling.PollingEnabled);
  }
  {
    ChangerRig rig;
    ASSERT_TRUE(rig.ok);
    rig.Spindle(true);
    rig.s.sim.SetDeadLine(true);
    const int64_t startMs = rig.NowMs();
    const SpindleWait end = rig.tc().Button1Click();
    EXPECT_NE(end, SpindleWait::Stopped);
    EXPECT_NE(end, SpindleWait::TimedOut);
    EXPECT_LT(rig.NowMs() - startMs, 10000);
    EXPECT_TRUE(rig.sys().polling.PollingEnabled);
  }
  {
    ChangerRig rig;
    ASSERT_TRUE(rig.ok);
    rig.Spindle(true);
    const int64_t startMs = rig.NowMs();
    EXPECT_EQ(rig.tc().Button1Click(), SpindleWait::TimedOut);
    EXPECT_GE(rig.NowMs() - startMs, kSpindleStopLimitMs);
    EXPECT_LT(rig.NowMs() - startMs, kSpindleStopLimitMs + 2000);
    EXPECT_EQ(rig.tc().View.TC_message.Caption(), "Wait ended: spindle still turning");
  }
}

TEST(ToolChanger, OlderFirmwareCannotAnswerTheWait) {
  sim::SimOptions options;
  options.firmware = 99;
  SimSystem s(options);
  ASSERT_TRUE(s.ConnectAndInitialise());
  const int64_t startUs = s.loop.NowUs();
  EXPECT_EQ(s.sys->toolChanger.Button1Click(), SpindleWait::Refused);
  EXPECT_LT(s.loop.NowUs() - startUs, 100000);
  EXPECT_EQ(s.sys->toolChanger.View.TC_message.Caption(), "Spindle wait needs firmware 100 or later");
}

TEST(ToolChanger, TheWaitIsRefusedBesideAJob) {
  ChangerRig rig;
  ASSERT_TRUE(rig.ok);
  rig.sys().flags.AbortRun = 1;
  OperationGuard job(rig.sys().console.State, LongOperation::Job);
  EXPECT_EQ(rig.tc().Button1Click(), SpindleWait::Refused);
  EXPECT_EQ(rig.sys().flags.AbortRun, 1);  // a job's stop flag is not the window's to clear
  const size_t from = rig.s.sim.TraceRecords().size();
  rig.tc().Init_SPIClick();  // record 80 would end the job
  EXPECT_TRUE(rig.s.Records(from).empty());
  rig.tc().Read_tcClick();  // held polling would end the job's buffer waits
  EXPECT_TRUE(rig.sys().polling.PollingEnabled);
  EXPECT_EQ(rig.sys().polling.ReadRequest, 0);
  EXPECT_EQ(rig.tc().View.TC_message.Caption(), kToolChangerBusyText);
}

}  // namespace
}  // namespace wendlar::testing
