// Model of the connection window (TUSBmodule): the controls the link writes.
#pragma once

#include "core/ViewModel.h"

namespace wendlar {

class UsbView : public ViewModel {
 public:
  UsbView() : ViewModel("TUSBmodule") {}

  Control Status_lab{*this, "Status_lab"};            // connection state and link errors
  Control Response_lab{*this, "Response_lab"};        // "TimeOut " and close results; a click blanks it
  Control Usb_version_lab{*this, "Usb_version_lab"};  // the controller's identity reply
  Control Msg_list{*this, "Msg_list"};                // message list of the connection sequence
  Control Data_list{*this, "Data_list"};              // traffic monitor
  Control Show_data_on{*this, "Show_data_on"};        // ticked: lines sent and received go to Data_list
};

}  // namespace wendlar
