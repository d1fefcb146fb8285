// Serial ports wired straight to in-process devices (the simulated controller), for
// tests and --simulator.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "core/EventLoop.h"
#include "core/SerialDevice.h"
#include "link/serial/SerialPort.h"

namespace wendlar {

// Bytes the host writes reach the device at once (it answers synchronously, since
// SendLine spins without pumping); the answer becomes visible in the receive queue only
// after the device's reply latency on the loop's clock. On virtual time every
// SioRxQue/SioGetc poll costs kPollCostUs, so a spin on a silent line ends in bounded
// virtual time; on real time nothing is charged.
class InProcessSerialPort : public SerialPort {
 public:
  static constexpr int64_t kPollCostUs = kRxPollUs;

  // No ports yet; add them with Attach and AddSilent.
  explicit InProcessSerialPort(EventLoop& loop);
  // One port at `port` wired to `device`.
  InProcessSerialPort(EventLoop& loop, SerialDevice& device, int port = kFirstDevicePort);

  // Wires `device` to an index; the device must outlive the port. `description` is shown
  // beside "COM n" ("simulated controller" when empty).
  void Attach(int port, SerialDevice& device, std::string description = {});
  // A port that opens and takes bytes but never answers (an adapter with nothing behind it).
  void AddSilent(int port, std::string description = {});
  // A port held by another program: SioReset gives kSioPortBusy while set.
  void SetBusy(int port, bool busy);
  // Takes an index out of the table (a device unplugged), closing it.
  void Remove(int port);
  // True between a successful SioReset and SioDone.
  bool IsOpen(int port) const;

  // The Sio* operations as SerialPort describes them.
  int SioReset(int port, int rxQueueSize, int txQueueSize) override;
  int SioBaud(int port, int baudCode) override;
  int SioParms(int port, int parity, int stopBits, int dataBits) override;
  int SioPuts(int port, const char* data, int length) override;
  int SioPutc(int port, char byte) override;
  int SioGetc(int port) override;
  int SioRxQue(int port) override;
  // The spin's outcome without its passes: on virtual time the polls up to the answer's
  // arrival are charged at once; on real time the wait sleeps until it arrives.
  int WaitRxQue(int port, int moreThan, int maxPolls) override;
  // On virtual time the polls of the byte-by-byte read are charged at once, with every
  // answer arriving at the poll it would have arrived at.
  void SioGetLine(int port, int maxReads, std::string& line) override;
  int SioRxClear(int port) override;
  int SioTxClear(int port) override;
  int SioDone(int port) override;
  std::string PortDescription(int port) const override;
  std::vector<int> Ports() const override;

 private:
  // An answer on its way; its bytes wait in Entry::inFlightBytes, in arrival order.
  struct InFlight {
    int64_t arrivalUs;
    size_t size;
  };
  struct Entry {
    SerialDevice* device = nullptr;  // null for a silent port
    std::string description;
    bool busy = false;
    bool open = false;
    std::string rx;      // received bytes; those before rxRead are read already
    size_t rxRead = 0;
    std::deque<InFlight> inFlight;
    // The bytes of every answer in flight, back to back; those before inFlightRead have
    // arrived. One buffer reused for the whole session spares an allocation per answer.
    std::string inFlightBytes;
    size_t inFlightRead = 0;

    size_t RxWaiting() const { return rx.size() - rxRead; }
    void ClearRx() {
      rx.clear();
      rxRead = 0;
    }
    void ClearInFlight() {
      inFlight.clear();
      inFlightBytes.clear();
      inFlightRead = 0;
    }
  };

  Entry* OpenEntry(int port);
  // Charges one poll on virtual time and moves every answer that has arrived into rx.
  void Poll(Entry& entry);
  // Moves every answer that has arrived by nowUs into rx.
  static void Deliver(Entry& entry, int64_t nowUs);

  EventLoop& loop_;
  std::map<int, Entry> table_;  // nodes stay put until erased
  int lastPort_ = -1;
  Entry* lastEntry_ = nullptr;
  std::string reply_;  // the device's answer to one write, reused
};

}  // namespace wendlar
