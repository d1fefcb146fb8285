// The tool changer window (TTC_menu): single SPI bytes through the controller, the changer
// switched on and off, its registers read back through the memory report, and the wait for
// the spindle to stop.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "console/CommandSender.h"
#include "console/ConsoleState.h"
#include "core/RunFlags.h"
#include "core/ViewModel.h"
#include "link/Polling.h"

namespace wendlar {

class TTC_menuView : public ViewModel {
 public:
  TTC_menuView() : ViewModel("TTC_menu") {}

  Control Form{*this, "TC_menu"};        // "Tool Changer menu", at 50, 50
  Control spin1{*this, "spin1"};         // 0..255: byte or bit number of the buttons that use it
  Control SpinEdit1{*this, "SpinEdit1"}; // 1..255
  Control vars1{*this, "vars1"};         // the last memory report, one byte a line
  Control TC_message{*this, "TC_message"};
  Control Bit7set{*this, "Bit7set"}, Bit6set{*this, "Bit6set"};

  Control Init_SPI{*this, "Init_SPI"}, Send_Spi{*this, "Send_Spi"}, Send_0{*this, "Send_0"};
  Control OX73{*this, "OX73"}, Rd_Port{*this, "Rd_Port"}, OX77{*this, "OX77"}, OX51{*this, "OX51"};
  Control OX53{*this, "OX53"}, OX80{*this, "OX80"}, setbit{*this, "setbit"}, clrbit{*this, "clrbit"};
  Control hm{*this, "hm"}, Rdbit{*this, "Rdbit"};
  Control TC_enable{*this, "TC_enable"}, TC_disable{*this, "TC_disable"};
  Control Set_tc{*this, "Set_tc"}, set_mem{*this, "set_mem"}, Read_tc{*this, "Read_tc"};
  Control Button1{*this, "Button1"};  // waits for the spindle to stop
};

// How a wait for the spindle ended.
enum class SpindleWait { Stopped, Refused, Stopping, LinkLost, TimedOut };

// Texts of TC_message.
inline constexpr const char* kWaitingForSpindleText = "Waiting for Spindle to Stop";
inline constexpr const char* kSpindleStoppedText = "Spindle is Stopped ";
inline constexpr const char* kSpindleWaitStoppedText = "Wait ended: machine stopped";
inline constexpr const char* kSpindleWaitLinkText = "Wait ended: controller not answering";
inline constexpr const char* kSpindleWaitTimeText = "Wait ended: spindle still turning";
inline constexpr const char* kToolChangerBusyText = "Busy: another operation holds the console";
inline constexpr const char* kSpindleWaitFirmwareText = "Spindle wait needs firmware 100 or later";

// The longest the wait for the spindle lasts: a large spindle coasts for well under this.
inline constexpr int64_t kSpindleStopLimitMs = 60000;

class TTC_menu {
 public:
  TTC_menu(CommandSender& sender, Polling& polling, const ControllerReport& report, ConsoleState& state,
           RunFlags& flags);

  TTC_menuView View;

  // "Tool change mode" in the console's Setup menu.
  void Show();
  void Close() { View.Form.SetVisible(false); }

  // The buttons; each sends its record at once unless noted.
  void Init_SPIClick();   // 80, 4 polls, 85 [2] queued, 4 polls
  void Send_SpiClick();   // 81 [spin1, 5]; SpinEdit1's change does the same
  void SpinEdit1Change() { Send_SpiClick(); }
  void Send_0Click() { Spi(0x00); }
  void OX73Click() { Spi(0x73); }
  void Rd_PortClick() { Spi(0x9A); }
  void OX77Click() { Spi(0x77); }
  void OX51Click() { Spi(0x51); }
  void OX53Click() { Spi(0x53); }
  void OX80Click() { Spi(static_cast<uint8_t>(Spin1() + 0x80)); }
  void setbitClick() { Spi(0x21); }
  void clrbitClick() { Spi(0x41); }
  void hmClick() { Spi(0xE1); }
  void RdbitClick() { Spi(static_cast<uint8_t>(Spin1() + 0xC0)); }
  void TC_enableClick();   // ReadRequest 5, 83 [1]
  void TC_disableClick();  // ReadRequest 5, 83 [0]
  void Set_tcClick();      // 85 [2] queued, ReadRequest 5
  void set_memClick();     // 85 [0] queued, ReadRequest 5
  void Read_tcClick();     // ReadRequest 5 over 4 polls with the rotation held; not beside a job
  // Blanks TC_message and waits for the spindle to stop.
  SpindleWait Button1Click();

  // Called after every "5." reply: lists the five bytes of MemoryReply.
  void ShowMemoryReply(const std::array<uint8_t, 5>& memory);

  // Asks the changer whether the spindle has stopped until it says so. Ends on a stop, on a
  // controller that no longer answers and after kSpindleStopLimitMs; polling is enabled
  // again whatever ends it. Refused on firmware below 100, whose polling never asks for the
  // memory report. The caller holds the console.
  SpindleWait WaitSpindleStop();

 private:
  int Spin1() const { return View.spin1.Position() & 0xFF; }
  void Spi(uint8_t value, uint8_t b2 = 0);
  // Polling held, a memory report asked for, one pump, polling again.
  void RequestMemoryOnce();

  CommandSender& sender_;
  Polling& polling_;
  const ControllerReport& report_;
  ConsoleState& state_;
  RunFlags& flags_;
  uint64_t memoryReports_ = 0;  // "5." replies shown so far
};

}  // namespace wendlar
