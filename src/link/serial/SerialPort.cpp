#include "link/serial/SerialPort.h"

namespace wendlar {

std::string SioErrorText(int code) {
  switch (code) {
    case kSioNoSuchPort: return "no such port";
    case kSioPortBusy: return "port busy";
    case kSioOpenFailed: return "open failed";
    case kSioNotOpen: return "port not open";
    default: return code < 0 ? "error" : "ok";
  }
}

}  // namespace wendlar
