#include <gtest/gtest.h>

#include "link/Commands.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

struct DiagRig {
  explicit DiagRig(sim::SimOptions options = {}) : s(std::move(options)) {
    ok = s.ConnectAndInitialise();
    s.RunMs(300);
  }
  System& sys() { return *s.sys; }
  TTest& diag() { return s.sys->diagnostics; }
  const std::vector<std::string>& Vars() { return diag().View.vars.Items(); }

  SimSystem s;
  bool ok = false;
};

TEST(Diagnostics, OpeningShowsTheVersionAndTheVariableSetsAreListedByName) {
  DiagRig rig;
  ASSERT_TRUE(rig.ok);
  TTest& d = rig.diag();
  d.Show();
  EXPECT_TRUE(d.View.Form.Visible());
  EXPECT_EQ(d.View.Pic_version.Caption(), "Processor Version 110");
  EXPECT_EQ(d.View.Picdate.Caption(), "ID  P110  250  4000");

  d.Read_VarsClick();
  ASSERT_EQ(rig.Vars().size(), 11u);
  EXPECT_EQ(rig.Vars()[0], "Three      3");
  EXPECT_EQ(rig.Vars()[3], "Statis     " + std::to_string(rig.s.sim.StateByte()));
  EXPECT_EQ(rig.Vars()[4], "Inputs     " + std::to_string(rig.s.sim.InputsByte()));
  EXPECT_EQ(rig.Vars()[10].substr(0, 11), "acc_t      ");

  // Five records run, then the program counter reads five.
  d.Button2Click();
  for (int i = 0; i < 5; ++i) rig.sys().sender.Send(commands::Dwell(0));
  rig.s.RunMs(300);
  d.Read_Prog_cntClick();
  EXPECT_EQ(rig.Vars(), (std::vector<std::string>{"prog_cntr_4 4", "prog_cntr_l 5", "prog_cntr_m 0",
                                                  "prog_cntr_h 0", "Prog Line   5"}));

  // The memory at the tail: a dwell written at entry 7, with its packet's checksum.
  rig.sys().sender.Send(commands::SetHeadTail(7, 7));
  rig.sys().sender.Send(commands::Dwell(5));
  rig.s.RunMs(300);
  d.Read_TailClick();
  EXPECT_TRUE(rig.sys().polling.PollingEnabled);
  EXPECT_EQ(rig.Vars(), (std::vector<std::string>{"   19", "   5", "   0", "   0", "   0", "   0", "   0", "   0",
                                                  "   0", "   0", "   0", "   22"}));
}

TEST(Diagnostics, FirmwareBelow35HasNoVariableSets) {
  sim::SimOptions options;
  options.firmware = 34;
  DiagRig rig(options);
  ASSERT_TRUE(rig.ok);
  TTest& d = rig.diag();
  const size_t from = rig.s.sim.TraceLines().size();
  d.Read_VarsClick();
  EXPECT_EQ(rig.Vars(), (std::vector<std::string>{"PIC version < 3.6",
                                                  "Statis   " + std::to_string(rig.s.sim.StateByte()),
                                                  "Inputs   " + std::to_string(rig.s.sim.InputsByte())}));
  EXPECT_EQ(rig.s.HostLines(from), (std::vector<std::string>{"R2"}));
  d.Read_TailClick();
  EXPECT_TRUE(rig.Vars().empty());
  d.Read_Prog_cntClick();
  EXPECT_TRUE(rig.Vars().empty());
}

TEST(Diagnostics, ButtonsAndMenusSendTheirRecords) {
  DiagRig rig;
  ASSERT_TRUE(rig.ok);
  TTest& d = rig.diag();
  const size_t from = rig.s.sim.TraceRecords().size();
  d.Button2Click();
  d.Button1Click();
  d.View.head_val.SetCaption("300");
  d.View.tail_val.SetCaption(" 5 ");
  d.Set_HTClick();
  d.OutputTest(0x00);
  d.OutputTest(0xFF);
  d.OutputTest(0xAA);  // "Out 01010101"
  d.OutputTest(0x55);
  d.Spindle(true);
  d.Spindle(false);
  rig.s.RunMs(500);
  EXPECT_EQ(rig.s.Records(from),
            (std::vector<Packet>{P({4}), P({93}), P({91, 0x2C, 0x01, 5, 0}), P({95, 0x00}), P({95, 0xFF}),
                                 P({95, 0xAA}), P({95, 0x55}), P({14}), P({15})}));

  // Bad numbers are refused with a message, and nothing is sent.
  const size_t badFrom = rig.s.sim.TraceRecords().size();
  for (const char* text : {"abc", "65536", "-1", ""}) {
    d.View.head_val.SetCaption(text);
    d.Set_HTClick();
  }
  rig.s.RunMs(200);
  EXPECT_TRUE(rig.s.Records(badFrom).empty());
  EXPECT_EQ(rig.Vars().back(), "Head and tail must be whole numbers 0..65535");

  // The step outputs, the head and tail and the reads wait while a job runs.
  OperationGuard job(rig.sys().console.State, LongOperation::Job);
  const size_t jobFrom = rig.s.sim.TraceRecords().size();
  d.OutputTest(0xFF);
  d.View.head_val.SetCaption("0");
  d.Set_HTClick();
  d.Read_VarsClick();
  rig.s.RunMs(200);
  EXPECT_TRUE(rig.s.Records(jobFrom).empty());
  EXPECT_EQ(rig.Vars(), (std::vector<std::string>{kServiceBusyText}));
}

TEST(Diagnostics, TheTransferTestCountsEveryBadBlockAndAlwaysLeavesPollingOn) {
  DiagRig rig;
  ASSERT_TRUE(rig.ok);
  TTest& d = rig.diag();
  EXPECT_EQ(d.DatatransClick(), TestEnd::Done);
  EXPECT_EQ(d.View.Blocks_lab.Caption(), "Blocks sent 10000");
  EXPECT_EQ(d.View.Errors_lab.Caption(), "Errors 0");
  EXPECT_TRUE(d.View.Err_list.Items().empty());
  EXPECT_TRUE(d.View.Datatrans.Enabled());
  EXPECT_TRUE(rig.sys().polling.LinkPolling());

  // The first block's report arrives garbled; Stoptest ends the run part way.
  rig.s.sim.GarbleNextReport();
  const auto stop = rig.s.loop.CreateTimer(300, true, [&] { d.StoptestClick(); });
  EXPECT_EQ(d.DatatransClick(), TestEnd::Stopped);
  EXPECT_EQ(d.View.Errors_lab.Caption(), "Errors 1");
  const auto& errors = d.View.Err_list.Items();
  ASSERT_EQ(errors.size(), 13u);
  EXPECT_EQ(errors[0], "------ 1");
  EXPECT_EQ(errors[1], "0 255");
  EXPECT_TRUE(d.View.Datatrans.Enabled());
  EXPECT_TRUE(rig.sys().polling.LinkPolling());

  // Not beside a job.
  OperationGuard job(rig.sys().console.State, LongOperation::Job);
  EXPECT_EQ(d.DatatransClick(), TestEnd::Refused);
}

TEST(Diagnostics, TheTransferTestEndsOnALostController) {
  DiagRig rig;
  ASSERT_TRUE(rig.ok);
  rig.s.sim.SetDeadLine(true);
  const int64_t startMs = rig.s.loop.NowUs() / 1000;
  EXPECT_NE(rig.diag().DatatransClick(), TestEnd::Done);
  EXPECT_LT(rig.s.loop.NowUs() / 1000 - startMs, 10000);
  EXPECT_TRUE(rig.sys().polling.PollingEnabled);
}

TEST(Diagnostics, RamFillAndReadBackCoverTheFortyOneBlocksAndNameTheFirstBadOne) {
  DiagRig rig;
  ASSERT_TRUE(rig.ok);
  TTest& d = rig.diag();
  const size_t from = rig.s.sim.TraceRecords().size();
  EXPECT_EQ(d.Ram_testClick(), TestEnd::Done);
  EXPECT_TRUE(rig.sys().polling.PollingEnabled);
  const auto records = rig.s.Records(from);
  ASSERT_GE(records.size(), 44u);
  EXPECT_EQ(records[0], P({91, 0, 0, 0, 0}));
  EXPECT_EQ(records[1], P({137, 0, 1}));
  for (int n = 0; n < 41; ++n) {
    const Packet& r = records[static_cast<size_t>(n) + 2];
    EXPECT_EQ(r[0], 115 + n % 12) << n;
    EXPECT_EQ(r, (Packet{r[0], static_cast<uint8_t>(n), 0, static_cast<uint8_t>(n + 3), 3,
                         static_cast<uint8_t>(n + 5), 5, static_cast<uint8_t>(n + 8), 8,
                         static_cast<uint8_t>(n + 12), 12}))
        << n;
  }
  EXPECT_EQ(records[43], P({137}));

  // Read ram checks without writing the file.
  RamCheck check = d.Read_ramClick();
  EXPECT_EQ(check.End, TestEnd::Done);
  EXPECT_EQ(check.BlocksRead, 41);
  EXPECT_EQ(check.Errors, 0);
  EXPECT_EQ(rig.Vars().back(), "41 blocks good");
  EXPECT_FALSE(rig.sys().home.ReadText("Ramtest.txt"));

  check = d.Button3Click();
  EXPECT_EQ(check.Errors, 0);
  const auto lines = rig.sys().home.ReadLines("Ramtest.txt");
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 43u);
  EXPECT_EQ((*lines)[0], "Ramtest");
  EXPECT_EQ((*lines)[1].rfind("Head ", 0), 0u);
  EXPECT_NE((*lines)[1].find("     Tail "), std::string::npos);
  EXPECT_EQ((*lines)[2], "     0:  115   0   0   3   3   5   5   8   8  12  12 115");
  EXPECT_EQ((*lines)[42], "    40:  119  40   0  43   3  45   5  48   8  52  12  95");
  const auto raw = rig.sys().home.ReadText("Ramtest.txt");
  EXPECT_NE(raw->find("Ramtest\r\n"), std::string::npos);

  // A record written over block 5 afterwards: the read-back names it, and only it.
  rig.sys().sender.Send(commands::SetHeadTail(5, 5));
  rig.sys().sender.Send(commands::Dwell(0));
  rig.sys().sender.Send(commands::Dwell(0));  // and block 6
  rig.s.RunMs(300);
  check = d.Read_ramClick();
  EXPECT_EQ(check.Errors, 2);
  EXPECT_EQ(check.FirstBad, 5);
  EXPECT_EQ(d.View.Errors_lab.Caption(), "Errors 2");
  EXPECT_EQ(rig.Vars(), (std::vector<std::string>{"5 is bad", "6 is bad", "First bad block 5"}));
}

TEST(Diagnostics, RamTestsStopOnTheOperatorsStopAndWaitForAJob) {
  DiagRig rig;
  ASSERT_TRUE(rig.ok);
  TTest& d = rig.diag();
  EXPECT_EQ(d.Ram_testClick(), TestEnd::Done);
  const auto stop = rig.s.loop.CreateTimer(40, true, [&] { rig.sys().run.EmergencyStop(); });
  const RamCheck check = d.Button3Click();
  EXPECT_EQ(check.End, TestEnd::Stopped);
  EXPECT_LT(check.BlocksRead, 41);
  EXPECT_TRUE(rig.sys().polling.PollingEnabled);
  EXPECT_EQ(rig.Vars().back(), "Read stopped after " + std::to_string(check.BlocksRead) + " blocks");
  EXPECT_FALSE(rig.sys().home.ReadText("Ramtest.txt"));  // no file with part of the blocks

  rig.s.RunMs(1000);  // the stop's own records have gone
  OperationGuard job(rig.sys().console.State, LongOperation::Job);
  const size_t from = rig.s.sim.TraceRecords().size();
  EXPECT_EQ(d.Ram_testClick(), TestEnd::Refused);
  EXPECT_EQ(d.Read_ramClick().End, TestEnd::Refused);
  rig.s.RunMs(100);
  for (const Packet& r : rig.s.Records(from)) {
    EXPECT_TRUE(r[0] != 91 && r[0] != 137 && r[0] != 93 && (r[0] < 115 || r[0] > 126)) << int{r[0]};
  }
}

TEST(Diagnostics, TuneRecordUsbAndTheDebugSwitches) {
  DiagRig rig;
  ASSERT_TRUE(rig.ok);
  TTest& d = rig.diag();
  d.TuneClick();
  ASSERT_EQ(rig.Vars().size(), 250u);
  const SpeedTables& t = rig.sys().tables;
  EXPECT_EQ(rig.Vars()[0], "1  " + std::to_string(t.RateTable[1]) + "  " + std::to_string(t.VelTableX[1]));
  EXPECT_EQ(rig.Vars()[249].rfind("250  ", 0), 0u);
  d.varsDblClick();
  EXPECT_TRUE(rig.Vars().empty());

  d.View.record_usb.SetChecked(true);
  rig.sys().toolChanger.View.spin1.SetPosition(9);
  rig.sys().toolChanger.Send_SpiClick();
  EXPECT_EQ(rig.Vars(), (std::vector<std::string>{"81  9  5"}));
  d.View.record_usb.SetChecked(false);

  EXPECT_FALSE(rig.sys().console.View.Diag1.Visible());
  d.ShowDebugmenuClick();
  EXPECT_TRUE(rig.sys().console.View.Diag1.Visible());
  EXPECT_TRUE(d.View.ShowDebugmenu1.Checked());
  d.ShowDebugmenuClick();
  EXPECT_FALSE(rig.sys().console.View.Diag1.Visible());
  d.EnableDebugfileClick();
  EXPECT_TRUE(rig.sys().console.State.DebugLog);
  d.EnableDebugfileClick();
  EXPECT_FALSE(rig.sys().console.State.DebugLog);
}

}  // namespace
}  // namespace wendlar::testing
