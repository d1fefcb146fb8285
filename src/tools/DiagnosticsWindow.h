// The diagnostics window (TTest): firmware version, the controller's variable sets, memory at
// the buffer tail and program counter, the data-transfer and buffer-RAM tests, the host's
// speed table, the step-port and output tests, "record_usb" and the debug switches.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "console/CommandSender.h"
#include "console/Console.h"
#include "core/HomeDir.h"
#include "core/RunFlags.h"
#include "core/ViewModel.h"
#include "link/LinkInterfaces.h"
#include "link/Polling.h"

namespace wendlar {

class TTestView : public ViewModel {
 public:
  TTestView() : ViewModel("TTest") {}

  Control Form{*this, "Test"};  // "Diagnostics"
  Control Pic_version{*this, "Pic_version"}, Picdate{*this, "Picdate"};
  Control vars{*this, "vars"};  // results; a double click clears it
  Control Read_Vars{*this, "Read_Vars"}, Read_Tail{*this, "Read_Tail"}, Read_Prog_cnt{*this, "Read_Prog_cnt"};
  Control Button2{*this, "Button2"};  // "Clear_Prog_cnt"
  Control Button1{*this, "Button1"};  // "SN93"
  Control Set_HT{*this, "Set_HT"}, head_val{*this, "head_val"}, tail_val{*this, "tail_val"};
  // The data-transfer test.
  Control Datatrans{*this, "Datatrans"}, Stoptest{*this, "Stoptest"};
  Control Blocks_lab{*this, "Blocks_lab"}, Errors_lab{*this, "Errors_lab"}, Status_lab{*this, "Status_lab"};
  Control Err_list{*this, "Err_list"};
  // The buffer-RAM test.
  Control Ram_test{*this, "Ram_test"}, Read_ram{*this, "Read_ram"};
  Control Button3{*this, "Button3"};  // "Save ram"
  Control Tune{*this, "Tune"};
  Control record_usb{*this, "record_usb"};
  Control Closeit{*this, "Closeit"};
  // Menus.
  Control ReadVars1{*this, "ReadVars1"};
  Control SetAux1On1{*this, "SetAux1On1"}, SetAux1Off1{*this, "SetAux1Off1"};
  Control SetAux2On1{*this, "SetAux2On1"}, SetAux2Off1{*this, "SetAux2Off1"};
  Control SpindleOn1{*this, "SpindleOn1"}, SpindleOff1{*this, "SpindleOff1"};
  Control Out000000001{*this, "Out000000001"}, Out111111111{*this, "Out111111111"};
  Control Out010101011{*this, "Out010101011"}, Out101010101{*this, "Out101010101"};
  Control ShowDebugmenu1{*this, "ShowDebugmenu1"}, EnableDebugfile1{*this, "EnableDebugfile1"};
  Control Savetable1{*this, "Savetable1"};
};

// Operations of other modules the window offers. Each may stay empty: the entry then does
// nothing.
struct TestHooks {
  std::function<void(bool)> SetAux1, SetAux2;
  std::function<bool()> SaveControllerTable;
  // Rebuilds the host's speed table with SpeedSteps entries.
  std::function<void()> RebuildSpeedTable;
  // Entry i of the speed table and of its companion (the X velocity).
  std::function<std::pair<int, int>(int)> SpeedTableEntry;
  // True when the step outputs may be driven now (nothing runs); says why when not.
  std::function<bool()> CheckManual;
};

// Fill blocks of the buffer-RAM test and data-transfer blocks at most.
inline constexpr int kRamTestBlocks = 41;
inline constexpr int kTransferBlocks = 10000;
inline constexpr const char* kRamTestFile = "Ramtest.txt";
inline constexpr const char* kServiceBusyText = "Busy: a job or another operation runs";

// How a test ended.
enum class TestEnd { Done, Refused, Stopped, LinkLost };

struct RamCheck {
  TestEnd End = TestEnd::Done;
  int BlocksRead = 0;
  int Errors = 0;
  int FirstBad = -1;  // block number, -1 when all good
};

// The 12 bytes the controller keeps for fill block n: the record's code and b1..b10 as sent,
// then the packet's checksum.
std::array<uint8_t, 12> RamTestPattern(int n);

class TTest : public PacketRecorder {
 public:
  TTest(CommandSender& sender, Polling& polling, ControllerReport& report, Console& console, RunFlags& flags,
        const HomeDir& home);

  TTestView View;
  TestHooks Hooks;

  // "Diagnostics" in the console's Setup menu: version and identification lines.
  void Show();
  void CloseitClick();

  void Read_VarsClick();
  void Read_TailClick();
  void Read_Prog_cntClick();
  void Button2Click();  // record 4 queued
  void Button1Click();  // record 93 queued
  // Record 91 with head_val and tail_val; refused with a message unless both are 0..65535.
  void Set_HTClick();
  // The data-transfer test: variable set 0 read up to 10000 times, each compared with
  // twelve zero bytes. Refused beside a job; ends on Stoptest, a stop or a lost controller.
  TestEnd DatatransClick();
  void StoptestClick() { stopTest_ = true; }
  // Fills the controller's buffer RAM with the 41 pattern blocks.
  TestEnd Ram_testClick();
  // Reads the 41 blocks back in order and compares every byte; Save ram also writes
  // "Ramtest.txt" (whole, or not at all).
  RamCheck Read_ramClick() { return ReadRam(false); }
  RamCheck Button3Click() { return ReadRam(true); }
  void TuneClick();
  void varsDblClick() { View.vars.ClearItems(); }

  // Menus.
  void SetAux1(bool on);
  void SetAux2(bool on);
  void Spindle(bool on);
  void OutputTest(uint8_t pattern);
  void ShowDebugmenuClick();
  void EnableDebugfileClick();
  void SavetableClick();

  // PacketRecorder: "record_usb".
  bool RecordingOn() const override { return View.record_usb.Checked(); }
  size_t AppendRecord(std::string line) override;
  void StopRecording() override { View.record_usb.SetChecked(false); }

 private:
  RamCheck ReadRam(bool save);
  // Queues a record and waits (bounded) until the link tick has sent it, so records sent
  // at once afterwards follow it on the wire.
  bool QueueAndSend(const CommandRecord& record);
  // Reads reply lines until the last one has at least 2 characters; bounded.
  void ReadUntilReply();
  bool LinkUp() const;
  bool Busy() const;
  Link& link() { return sender_.LinkRef(); }

  CommandSender& sender_;
  Polling& polling_;
  ControllerReport& report_;
  Console& console_;
  RunFlags& flags_;
  const HomeDir& home_;
  bool stopTest_ = false;
};

}  // namespace wendlar
