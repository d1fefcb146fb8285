// The serial-port seam: numbered ports with the operations the link uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wendlar {

// SioGetc's answer when the receive queue is empty.
inline constexpr int kSioNoData = -1;

// Error codes of SioReset and of operations on ports that cannot take them (all negative;
// 0 or more is success).
inline constexpr int kSioNoSuchPort = -2;   // no device behind this index
inline constexpr int kSioPortBusy = -3;     // another program holds the device
inline constexpr int kSioOpenFailed = -4;   // the device refused to open or configure
inline constexpr int kSioNotOpen = -5;      // operation on a port that is not open
inline constexpr int kSioWriteFailed = -6;  // the device stopped taking bytes
inline constexpr int kSioBadParameter = -7; // a baud, parity, stop-bit or data-bit code out of range

// The time one receive-queue poll stands for: a wait that sleeps instead of polling turns
// its poll budget into a deadline with it, and the virtual clock charges it per poll.
inline constexpr int64_t kRxPollUs = 1;

// First index a discovered device may take; 0 and 1 are reserved and never probed.
inline constexpr int kFirstDevicePort = 2;

// Ports are numbered from 0; the operator sees "COM " followed by index + 1. Indexes 0
// and 1 are reserved and never probed; discovered devices take indexes from 2.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Opens the port with fresh, empty queues; a negative result is one of the error codes.
  virtual int SioReset(int port, int rxQueueSize, int txQueueSize) = 0;
  // Sets the line rate from a library baud code (6 is 19200 baud); a virtual port ignores it.
  virtual int SioBaud(int port, int baudCode) = 0;
  // Sets the framing: parity code (0 none, 1 odd, 2 even), stop-bit code (0 one, 1 two),
  // data bits (5..8).
  virtual int SioParms(int port, int parity, int stopBits, int dataBits) = 0;
  // Sends all `length` bytes; the count sent, or a negative error code.
  virtual int SioPuts(int port, const char* data, int length) = 0;
  virtual int SioPutc(int port, char byte) = 0;
  // The next received byte (0..255), or a negative value when nothing is waiting.
  virtual int SioGetc(int port) = 0;
  // Number of received bytes waiting to be read with SioGetc.
  virtual int SioRxQue(int port) = 0;
  // Waits for a reply: polls the receive queue until it holds more than `moreThan` bytes,
  // at most `maxPolls` times. Returns the polls made, or `maxPolls` when the queue stayed
  // short (the caller's time-out). Ports that can sleep wait on the device with a deadline
  // of maxPolls x kRxPollUs instead of spinning.
  virtual int WaitRxQue(int port, int moreThan, int maxPolls);
  // Reads a reply line as that many SioGetc calls would: byte by byte, at most `maxReads`
  // bytes, up to and with a carriage return (13) or until nothing is waiting. Appends the
  // bytes above 31 to `line`. Ports that can do it in one go override it.
  virtual void SioGetLine(int port, int maxReads, std::string& line);
  // Discards everything received and not yet read.
  virtual int SioRxClear(int port) = 0;
  // Discards everything written and not yet sent.
  virtual int SioTxClear(int port) = 0;
  // Closes the port; the result is only displayed.
  virtual int SioDone(int port) = 0;
  // The device path (or other description) behind an index, empty when none; shown
  // beside "COM n" so a person can tell ports apart.
  virtual std::string PortDescription(int port) const = 0;
  // Indexes that have a device behind them, ascending.
  virtual std::vector<int> Ports() const;
};

// Short text for an SioReset error code, for messages beside the code itself.
std::string SioErrorText(int code);

// What the operator sees for a port: "COM n" with the description beside it.
std::string PortLabel(const SerialPort& ports, int port);

}  // namespace wendlar
