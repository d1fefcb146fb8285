#include "link/serial/SerialPort.h"

namespace wendlar {

namespace {
// Far above any index a port table hands out; only the default Ports() looks this far.
constexpr int kHighestProbedIndex = 255;
}  // namespace

std::vector<int> SerialPort::Ports() const {
  std::vector<int> found;
  for (int i = kFirstDevicePort; i <= kHighestProbedIndex; ++i) {
    if (!PortDescription(i).empty()) found.push_back(i);
  }
  return found;
}

int SerialPort::WaitRxQue(int port, int moreThan, int maxPolls) {
  int polls = 0;
  while (polls < maxPolls) {
    ++polls;
    if (SioRxQue(port) > moreThan) return polls;
  }
  return maxPolls;
}

void SerialPort::SioGetLine(int port, int maxReads, std::string& line) {
  for (int reads = 0; reads < maxReads; ++reads) {
    const int c = SioGetc(port);
    if (c < 0) break;
    if (c > 31) line += static_cast<char>(c);
    if (c == 13) break;
  }
}

std::string SioErrorText(int code) {
  switch (code) {
    case kSioNoData: return "no data";
    case kSioNoSuchPort: return "no such port";
    case kSioPortBusy: return "port busy";
    case kSioOpenFailed: return "open failed";
    case kSioNotOpen: return "port not open";
    case kSioWriteFailed: return "write failed";
    case kSioBadParameter: return "bad parameter";
    default: return code < 0 ? "error" : "ok";
  }
}

std::string PortLabel(const SerialPort& ports, int port) {
  std::string label = "COM " + std::to_string(port + 1);
  const std::string description = ports.PortDescription(port);
  if (!description.empty()) label += "  " + description;
  return label;
}

}  // namespace wendlar
