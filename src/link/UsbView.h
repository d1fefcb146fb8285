// Model of the connection window (TUSBmodule): the controls the link writes.
#pragma once

#include "core/ViewModel.h"

namespace wendlar {

class UsbView : public ViewModel {
 public:
  UsbView() : ViewModel("TUSBmodule") {}

  Control Form{*this, "USBmodule"};                   // caption, height, visible
  Control Status_lab{*this, "Status_lab"};            // connection state and link errors
  Control Response_lab{*this, "Response_lab"};        // "TimeOut " and close results; a click blanks it
  Control Usb_version_lab{*this, "Usb_version_lab"};  // the controller's identity reply
  Control Update_lab{*this, "Update_lab"};            // "USB Firmware Update Available"
  Control Msg_list{*this, "Msg_list"};                // message list of the connection sequence
  Control Data_list{*this, "Data_list"};              // traffic monitor
  Control Show_data_on{*this, "Show_data_on"};        // ticked: lines sent and received go to Data_list

  // Port choice and connection buttons.
  Control selectcom_A{*this, "selectcom_A"}, selectcom_B{*this, "selectcom_B"};
  Control selectcom_C{*this, "selectcom_C"}, selectcom_D{*this, "selectcom_D"};
  Control Connect_USB{*this, "Connect_USB"};
  Control Refresh1{*this, "Refresh1"};  // "Scan Ports"
  Control Stop_usb{*this, "Stop_usb"};  // "Close Usb"
  Control auto_scan{*this, "auto_scan"};
  Control Use_last_port{*this, "Use_last_port"};
  Control Save_params{*this, "Save_params"};

  // USB delay and calibration.
  Control Delay_group{*this, "Delay_group"};
  Control D100uS{*this, "D100uS"}, D50uS{*this, "D50uS"}, D25uS{*this, "D25uS"}, D10uS{*this, "D10uS"};
  Control CPU_sp{*this, "CPU_sp"};
  Control Loop_test{*this, "Loop_test"};  // "USB Test "
  Control Loop_lab{*this, "Loop_lab"};

  // Test buttons and their boxes.
  Control Start_USB{*this, "Start_USB"}, stop_timer{*this, "stop_timer"};
  Control Coords{*this, "Coords"}, StatusBut{*this, "Status"}, CHECK{*this, "CHECK"};
  Control Test{*this, "Test"};  // "Send 3 packet"
  Control Send12{*this, "Send12"};  // "Send 12 Packet"
  Control Command_box{*this, "Command_box"}, Data_box{*this, "Data_box"};
  Control N1{*this, "N1"}, N2{*this, "N2"}, N3{*this, "N3"}, N4{*this, "N4"};
  Control Maxi{*this, "Maxi"};
};

}  // namespace wendlar
