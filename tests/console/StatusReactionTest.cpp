// The console's reactions to buffer and information reports, and the Task timer's stops.
#include <gtest/gtest.h>

#include "link/Wire.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

std::string Report(char kind, std::vector<uint8_t> bytes) {
  std::string line{kind, '.'};
  for (uint8_t b : bytes) line += ByteToHexPair(b);
  return line;
}

// A buffer report: tail, head, inputs, state.
void Buffer(System& s, uint16_t tail, uint16_t head, uint8_t inputs, uint8_t state) {
  s.link.DecodeReply(Report('2', {static_cast<uint8_t>(tail), static_cast<uint8_t>(tail >> 8),
                                  static_cast<uint8_t>(head), static_cast<uint8_t>(head >> 8), inputs, state}));
}

// The messages of the fault-history lines, without their time stamps.
std::vector<std::string> History(System& s) {
  std::vector<std::string> out;
  for (const auto& line : s.jumpbox.View.Fault_list.Items()) out.push_back(line.substr(line.find("* ") + 2));
  return out;
}

// Inputs with every switch line at rest and no fault: Y, Z, W, servo lines high.
constexpr uint8_t kQuiet = 0x5C;

TEST(StatusReaction, BufferReportShowsOneCharacterPerInputLineAndTheFillOfTheRing) {
  EXPECT_EQ(InputsString(0x00), "__YZWFL_");
  EXPECT_EQ(InputsString(0xFF), "SX______");
  EXPECT_EQ(InputsString(0xA5), "SXYZW_L_");
  EXPECT_EQ(InputsString(0x5A), "_____F__");
  SimSystem rig;
  System& s = *rig.sys;
  Buffer(s, 200, 1000, 0xA5, 0);
  EXPECT_EQ(s.console.View.Micros.Caption(), "SXYZW_L_");
  // The gauge shows the fill of the ring.
  EXPECT_EQ(s.console.View.Gauge1.Position(), 20);  // 20.5 to the even neighbour
  EXPECT_EQ(s.console.View.Gauge1.Hint(), "Buffer Ram 800");
  Buffer(s, 3900, 100, kQuiet, 0);  // wrapped in a 4096-entry ring
  EXPECT_EQ(s.console.View.Gauge1.Hint(), "Buffer Ram 296");
  EXPECT_EQ(s.console.View.Gauge1.Position(), 8);
}

TEST(StatusReaction, EachFaultBitEndsTheJobWithItsTextAndHistoryLine) {
  struct Case {
    uint8_t bit;
    std::string running, history;
  };
  const std::vector<Case> cases = {{0x40, "Stop pressed!", "Stop Button pressed on controller!"},
                                   {0x20, "Overtravel!", "Overtravel ______L_"},
                                   {0x10, "Stopped by Click", "Stopped by Click"},
                                   {0x04, "Data sumcheck error", "Data sumcheck error"},
                                   {0x02, "Ram sumcheck error", "Ram sumcheck error"}};
  for (const auto& c : cases) {
    SimSystem rig;
    System& s = *rig.sys;
    Buffer(s, 10, 50, kQuiet, 0x80);
    EXPECT_EQ(s.console.View.Running.Caption(), "Running");
    EXPECT_TRUE(s.console.State.JobActive);
    Buffer(s, 20, 50, kQuiet, c.bit);
    EXPECT_EQ(s.console.View.Running.Caption(), c.running);
    EXPECT_EQ(History(s), std::vector<std::string>{c.history});
    EXPECT_EQ(s.console.View.Progress.Caption(), "Job not completed !");
    EXPECT_EQ(s.console.View.Progress.FontColor(), kRed);
    EXPECT_FALSE(s.status.Run.JobCompleted);
    EXPECT_FALSE(s.console.State.JobActive);
    EXPECT_EQ(s.flags.AbortRun, 1);
    EXPECT_TRUE(s.console.View.Run_button.Enabled());
  }
}

TEST(StatusReaction, EmptyBufferAtTheEndIsACompletedJob) {
  SimSystem rig;
  System& s = *rig.sys;
  s.console.State.SentCount = 34;
  s.link.DecodeReply(Report('1', {110, 0, 12, 0, 0}));
  Buffer(s, 10, 50, kQuiet, 0x88);
  EXPECT_TRUE(s.console.State.Busy);
  EXPECT_EQ(s.console.View.Dwell_LED.BackColor(), kLime);
  Buffer(s, 50, 50, kQuiet, 0x00);
  EXPECT_EQ(History(s), std::vector<std::string>{"Completed 12/34"});
  EXPECT_TRUE(s.status.Run.JobCompleted);
  EXPECT_EQ(s.console.View.Running.Caption(), "Local");
  EXPECT_FALSE(s.console.State.Busy);
  EXPECT_EQ(s.console.View.Dwell_LED.BackColor(), kGray);
  // Idle reports afterwards, and idle reports without a job, add nothing.
  Buffer(s, 50, 60, kQuiet, 0x40);
  EXPECT_EQ(History(s).size(), 1u);
  EXPECT_EQ(s.console.View.Running.Caption(), "Stop pressed!");
}

TEST(StatusReaction, NotInitialisedRequestsOneInitialisation) {
  SimSystem rig;
  System& s = *rig.sys;
  int runs = 0;
  s.status.Hooks.InitialiseController = [&] { ++runs; };
  Buffer(s, 0, 0, kQuiet, 0x41);
  EXPECT_EQ(s.console.View.Running.Caption(), "Not Initialzed");
  EXPECT_TRUE(s.console.State.InitRequested);
  EXPECT_TRUE(s.status.TaskTimer().Enabled());
  rig.RunMs(150);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(s.status.TaskTimer().Enabled());
  s.console.State.Initialising = true;
  Buffer(s, 0, 0, kQuiet, 0x01);
  EXPECT_FALSE(s.console.State.InitRequested);
  rig.RunMs(150);
  EXPECT_EQ(runs, 1);
  Buffer(s, 0, 0, kQuiet, 0x00);
  EXPECT_EQ(s.console.View.Running.Caption(), "Local");
}

TEST(StatusReaction, ServoFaultLatchesOnceAndOnlyWhenEnabled) {
  SimSystem rig;
  System& s = *rig.sys;
  Buffer(s, 0, 0, kQuiet & ~0x04, 0);
  EXPECT_EQ(s.console.View.Micros.Caption(), "_____FL_");
  EXPECT_FALSE(s.console.State.ServoFault);
  s.setup.Flags.ServoEnabled = 1;
  for (int i = 0; i < 3; ++i) Buffer(s, 0, 0, kQuiet & ~0x04, 0);
  EXPECT_TRUE(s.console.State.ServoFault);
  EXPECT_EQ(History(s), std::vector<std::string>{"Servo Fault"});
  Buffer(s, 0, 0, kQuiet, 0);
  EXPECT_TRUE(s.console.State.ServoFault);  // only the operator clears it
  s.status.ServoF_LabClick();
  EXPECT_FALSE(s.console.State.ServoFault);
  EXPECT_FALSE(s.console.View.ServoF_Lab.Visible());
  Buffer(s, 0, 0, kQuiet & ~0x04, 0);
  EXPECT_EQ(History(s).size(), 2u);
}

TEST(StatusReaction, FirstInformationReportChoosesTheControllerFamilyOnceAndAFeedIndexOfItsTable) {
  struct Case {
    int version, steps, size, feedIndex, expectedFeedIndex;
  };
  // No Spooler.cfg: an index of 0 names no speed; it becomes the contour velocity's (CV_Max
  // 80 is index 177 of 250). One past the table becomes its last.
  for (const Case c : {Case{99, 100, 4096, 20, 20}, Case{100, 250, 4000, 20, 20}, Case{110, 250, 4000, 0, 177},
                       Case{110, 250, 4000, 400, 250}, Case{110, 250, 4000, 7, 7}}) {
    SCOPED_TRACE(c.version);
    SCOPED_TRACE(c.feedIndex);
    SimSystem rig;
    System& s = *rig.sys;
    s.console.State.FeedIndex = c.feedIndex;
    s.link.DecodeReply(Report('1', {static_cast<uint8_t>(c.version), 0, 0, 0, 0}));
    EXPECT_EQ(s.report.SpeedSteps, c.steps);
    EXPECT_EQ(s.report.BufferSize, c.size);
    EXPECT_EQ(s.tables.SpeedSteps(), c.steps);
    EXPECT_EQ(s.setup.View.Max_speeds.Caption(), "Max speeds " + std::to_string(c.steps));
    EXPECT_EQ(s.console.State.FeedIndex, c.expectedFeedIndex);
    EXPECT_EQ(s.console.View.Feedlab.Caption(), std::to_string(s.tables.VelTableX[c.expectedFeedIndex]) + " ipm");
    EXPECT_TRUE(s.console.View.CornerFinder1.Enabled());
    EXPECT_TRUE(rig.dir.Exists("Speed_table.txt"));
    // A later report of another version updates the version, not the tables.
    s.link.DecodeReply(Report('1', {60, 0, 0, 0, 0}));
    EXPECT_EQ(s.report.FirmwareVersion, 60);
    EXPECT_EQ(s.report.SpeedSteps, c.steps);
    EXPECT_EQ(s.tables.SpeedSteps(), c.steps);
  }
}

TEST(StatusReaction, InformationReportsShowToolCounterRpmAndLamps) {
  SimSystem rig;
  System& s = *rig.sys;
  s.console.State.SentCount = 5;
  s.link.DecodeReply(Report('1', {110, 3, 0x70, 0x11, 0x01}));
  EXPECT_EQ(s.console.View.Tooln_lab.Caption(), "Tool # 3");
  EXPECT_EQ(s.console.View.Progcnt_lab.Caption(), "Sent # 70000/5");
  EXPECT_EQ(s.console.State.RanCount, 70000);
  s.link.DecodeReply(Report('1', {42, 255, 0xD2, 0x04, 0x05}));
  EXPECT_EQ(s.console.View.realrpmlab.Caption(), "Actual 1234");
  EXPECT_EQ(s.console.View.Sp1_LED.BackColor(), kRed);
  EXPECT_EQ(s.console.View.SP2_LED.BackColor(), kGray);
  EXPECT_EQ(s.console.View.Aux1_LED.BackColor(), kRed);
  EXPECT_EQ(s.console.View.Aux2_LED.BackColor(), kGray);
  EXPECT_EQ(s.report.CurrentSpeedIndex, 42);
  EXPECT_EQ(s.report.FirmwareVersion, 110);  // kind 255 carries no version
}

// A connected System whose controller never needs initialising, for the stops.
struct StopRig : SimSystem {
  StopRig() {
    sys->status.Hooks.InitialiseController = nullptr;
    sys->setup.View.Interlock_enable.SetChecked(true);
    sys->setup.Flags.ServoEnabled = 1;
    EXPECT_TRUE(Connect());
    RunMs(300);
  }
  int Count(uint8_t code) const {
    int n = 0;
    for (const auto& r : Records()) n += r[0] == code;
    return n;
  }
};

TEST(StatusReaction, DoorOpeningAndServoFaultStopTheMachineOnce) {
  for (const bool door : {true, false}) {
    SCOPED_TRACE(door ? "door" : "servo");
    StopRig rig;
    System& s = *rig.sys;
    std::vector<std::string> texts;
    s.console.View.SetOnChange([&](const Control& c) {
      if (c.Name() == "Running") texts.push_back(c.Caption());
    });
    if (door) rig.sim.OpenDoor();
    else rig.sim.SetServoFault(true);
    rig.RunMs(1500);
    EXPECT_EQ(rig.Count(128), 1);
    EXPECT_EQ(rig.Count(130), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), door ? "Stopped by Door Open" : "Stopped by Servo Fault"), 1);
    if (door) {
      EXPECT_TRUE(s.console.State.DoorOpen);
      rig.sim.CloseDoor();
      rig.RunMs(300);
      EXPECT_FALSE(s.console.State.DoorOpen);
      EXPECT_EQ(rig.Count(128), 1);
    } else {
      EXPECT_EQ(History(s), std::vector<std::string>{"Servo Fault"});
    }
  }
}

}  // namespace
}  // namespace wendlar::testing
