// The serial-port seam: numbered ports with the operations the link uses.
#pragma once

#include <string>

namespace wendlar {

// Error codes of SioReset (all negative; 0 or more is success).
inline constexpr int kSioNoSuchPort = -2;   // no device behind this index
inline constexpr int kSioPortBusy = -3;     // another program holds the device
inline constexpr int kSioOpenFailed = -4;   // the device refused to open or configure
inline constexpr int kSioNotOpen = -5;      // operation on a port that is not open

// Ports are numbered from 0; the operator sees "COM " followed by index + 1. Indexes 0
// and 1 are reserved and never probed; discovered devices take indexes from 2.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Opens the port; a negative result is one of the error codes above.
  virtual int SioReset(int port, int rxQueueSize, int txQueueSize) = 0;
  virtual int SioBaud(int port, int baudCode) = 0;
  virtual int SioParms(int port, int parity, int stopBits, int dataBits) = 0;
  virtual int SioPuts(int port, const char* data, int length) = 0;
  virtual int SioPutc(int port, char byte) = 0;
  // The next received byte (0..255), or a negative value when nothing is waiting.
  virtual int SioGetc(int port) = 0;
  virtual int SioRxQue(int port) = 0;
  virtual int SioRxClear(int port) = 0;
  virtual int SioTxClear(int port) = 0;
  virtual int SioDone(int port) = 0;
  // The device path (or other description) behind an index, empty when none; shown
  // beside "COM n" so a person can tell ports apart.
  virtual std::string PortDescription(int port) const = 0;
};

// Short text for an SioReset error code, for messages beside the code itself.
std::string SioErrorText(int code);

}  // namespace wendlar
