// Serial ports over POSIX termios: USB-serial adapters and pseudo-terminals alike.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "link/serial/SerialPort.h"

namespace wendlar {

// One device of the port table.
struct SerialDeviceInfo {
  std::string path;         // "/dev/ttyUSB0"
  std::string description;  // what the device calls itself; may be empty
};

// The serial devices the system knows, sorted by path (libserialport's discovery; it
// cannot open pseudo-terminals, so it is used for nothing else).
std::vector<SerialDeviceInfo> DiscoverSerialDevices();

// Numbered ports backed by device files. Devices are opened exclusively (TIOCEXCL and
// an flock), so a second program gets kSioPortBusy instead of sharing a controller.
class PosixSerialPorts : public SerialPort {
 public:
  PosixSerialPorts() = default;
  ~PosixSerialPorts() override;
  PosixSerialPorts(const PosixSerialPorts&) = delete;
  PosixSerialPorts& operator=(const PosixSerialPorts&) = delete;

  // Fills the table from DiscoverSerialDevices(); returns the number of devices found.
  int Discover();
  // Rebuilds the table: devices take indexes from 2 in order of path; paths added with
  // AddDevicePath that are not among them follow. Open ports are closed first.
  void SetDevices(std::vector<SerialDeviceInfo> devices);
  // Puts a device path (from the command line) into the table and returns its index:
  // the index it already has, or the next free one.
  int AddDevicePath(const std::string& path);
  // The device path behind an index, empty when none.
  std::string DevicePath(int port) const;

  // The Sio* operations as SerialPort describes them.
  int SioReset(int port, int rxQueueSize, int txQueueSize) override;
  int SioBaud(int port, int baudCode) override;
  int SioParms(int port, int parity, int stopBits, int dataBits) override;
  int SioPuts(int port, const char* data, int length) override;
  int SioPutc(int port, char byte) override;
  int SioGetc(int port) override;
  int SioRxQue(int port) override;
  // Sleeps in poll() on the device until enough bytes came or the deadline passed.
  int WaitRxQue(int port, int moreThan, int maxPolls) override;
  int SioRxClear(int port) override;
  int SioTxClear(int port) override;
  int SioDone(int port) override;
  std::string PortDescription(int port) const override;
  std::vector<int> Ports() const override;

 private:
  struct Entry {
    SerialDeviceInfo device;
    bool addedByPath = false;
    int fd = -1;
    std::deque<unsigned char> rx;
  };

  Entry* OpenEntry(int port);
  // Moves what the operating system has received into the port's queue.
  static void Drain(Entry& entry);
  static void Close(Entry& entry);

  std::map<int, Entry> table_;
};

}  // namespace wendlar
