#include "link/serial/InProcessSerialPort.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <thread>

namespace wendlar {

InProcessSerialPort::InProcessSerialPort(EventLoop& loop) : loop_(loop) {}

InProcessSerialPort::InProcessSerialPort(EventLoop& loop, SerialDevice& device, int port) : loop_(loop) {
  Attach(port, device);
}

void InProcessSerialPort::Attach(int port, SerialDevice& device, std::string description) {
  Entry& entry = table_[port];
  entry = Entry{};
  entry.device = &device;
  entry.description = description.empty() ? "simulated controller" : std::move(description);
}

void InProcessSerialPort::AddSilent(int port, std::string description) {
  Entry& entry = table_[port];
  entry = Entry{};
  entry.description = description.empty() ? "silent port" : std::move(description);
}

void InProcessSerialPort::SetBusy(int port, bool busy) {
  auto it = table_.find(port);
  if (it != table_.end()) it->second.busy = busy;
}

void InProcessSerialPort::Remove(int port) {
  if (port == lastPort_) lastEntry_ = nullptr;
  table_.erase(port);
}

bool InProcessSerialPort::IsOpen(int port) const {
  auto it = table_.find(port);
  return it != table_.end() && it->second.open;
}

InProcessSerialPort::Entry* InProcessSerialPort::OpenEntry(int port) {
  // A job reads every reply byte by byte from the same port: skip the table search.
  if (port == lastPort_ && lastEntry_ != nullptr) return lastEntry_->open ? lastEntry_ : nullptr;
  auto it = table_.find(port);
  if (it != table_.end()) {
    lastPort_ = port;
    lastEntry_ = &it->second;
  }
  if (it == table_.end() || !it->second.open) return nullptr;
  return &it->second;
}

int InProcessSerialPort::SioReset(int port, int rxQueueSize, int txQueueSize) {
  (void)rxQueueSize;
  (void)txQueueSize;
  auto it = table_.find(port);
  if (it == table_.end()) return kSioNoSuchPort;
  Entry& entry = it->second;
  if (entry.busy && !entry.open) return kSioPortBusy;
  entry.open = true;
  entry.ClearRx();
  entry.ClearInFlight();
  return 0;
}

int InProcessSerialPort::SioBaud(int port, int baudCode) {
  (void)baudCode;  // a virtual line has no rate
  return OpenEntry(port) == nullptr ? kSioNotOpen : 0;
}

int InProcessSerialPort::SioParms(int port, int parity, int stopBits, int dataBits) {
  (void)parity;
  (void)stopBits;
  (void)dataBits;
  return OpenEntry(port) == nullptr ? kSioNotOpen : 0;
}

int InProcessSerialPort::SioPuts(int port, const char* data, int length) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  if (data == nullptr || length <= 0) return 0;
  if (entry->device == nullptr) return length;
  // With nothing in flight (the usual case) the in-flight buffer is empty and the device
  // answers straight into it; otherwise the answer goes in behind the others.
  const bool alone = entry->inFlight.empty();
  std::string& answer = alone ? entry->inFlightBytes : reply_;
  answer.clear();
  entry->device->Write(std::string_view(data, static_cast<size_t>(length)), answer);
  if (!answer.empty()) {
    // Answers keep their order even when the device's latency shrinks between them.
    int64_t arrivalUs = loop_.NowUs() + std::max<int64_t>(0, entry->device->ReplyLatencyUs());
    if (!alone) arrivalUs = std::max(arrivalUs, entry->inFlight.back().arrivalUs);
    entry->inFlight.push_back({arrivalUs, answer.size()});
    if (!alone) entry->inFlightBytes += answer;
  }
  return length;
}

int InProcessSerialPort::SioPutc(int port, char byte) {
  const int sent = SioPuts(port, &byte, 1);
  return sent < 0 ? sent : 0;
}

void InProcessSerialPort::Poll(Entry& entry) {
  if (loop_.IsVirtual()) loop_.Charge(kPollCostUs);
  Deliver(entry, loop_.NowUs());
}

void InProcessSerialPort::Deliver(Entry& entry, int64_t nowUs) {
  while (!entry.inFlight.empty() && entry.inFlight.front().arrivalUs <= nowUs) {
    if (entry.rxRead == entry.rx.size()) {
      entry.ClearRx();
    } else if (entry.rxRead >= 4096) {
      entry.rx.erase(0, entry.rxRead);
      entry.rxRead = 0;
    }
    const size_t size = entry.inFlight.front().size;
    if (entry.rx.empty() && entry.inFlightRead == 0 && size == entry.inFlightBytes.size()) {
      // The only answer in flight arrives at an empty queue: the buffers trade places.
      entry.rx.swap(entry.inFlightBytes);
      entry.inFlightBytes.clear();
    } else {
      entry.rx.append(entry.inFlightBytes, entry.inFlightRead, size);
      entry.inFlightRead += size;
    }
    entry.inFlight.pop_front();
  }
  // Nothing left in flight (the usual case): the buffer starts over at its front.
  if (entry.inFlight.empty()) {
    entry.inFlightBytes.clear();
    entry.inFlightRead = 0;
  } else if (entry.inFlightRead >= 4096) {
    entry.inFlightBytes.erase(0, entry.inFlightRead);
    entry.inFlightRead = 0;
  }
}

int InProcessSerialPort::SioGetc(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  Poll(*entry);
  if (entry->RxWaiting() == 0) return kSioNoData;
  return static_cast<unsigned char>(entry->rx[entry->rxRead++]);
}

void InProcessSerialPort::SioGetLine(int port, int maxReads, std::string& line) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr || !loop_.IsVirtual()) {
    SerialPort::SioGetLine(port, maxReads, line);
    return;
  }
  // Every read is a poll: the clock moves on by one poll, then what has arrived is read.
  // While bytes wait, later arrivals only queue behind them, so the waiting bytes are read
  // in one go and the answers due meanwhile are delivered at the next read.
  const int64_t startUs = loop_.NowUs();
  int reads = 0;
  while (reads < maxReads) {
    ++reads;
    const int64_t nowUs = startUs + reads * kPollCostUs;
    if (!entry->inFlight.empty() && entry->inFlight.front().arrivalUs <= nowUs) Deliver(*entry, nowUs);
    if (entry->RxWaiting() == 0) break;
    const char* from = entry->rx.data() + entry->rxRead;
    size_t take = std::min<size_t>(entry->RxWaiting(), static_cast<size_t>(maxReads - reads) + 1);
    const void* cr = std::memchr(from, 13, take);
    if (cr != nullptr) take = static_cast<size_t>(static_cast<const char*>(cr) - from) + 1;
    // Control characters are left out; the printable runs between them go in whole.
    for (size_t i = 0; i < take;) {
      size_t end = i;
      while (end < take && static_cast<unsigned char>(from[end]) > 31) ++end;
      line.append(from + i, end - i);
      i = end + 1;
    }
    entry->rxRead += take;
    reads += static_cast<int>(take) - 1;
    if (cr != nullptr) break;
  }
  loop_.Charge(reads * kPollCostUs);
}

int InProcessSerialPort::SioRxQue(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  Poll(*entry);
  return static_cast<int>(std::min<size_t>(entry->RxWaiting(), INT_MAX));
}

int InProcessSerialPort::WaitRxQue(int port, int moreThan, int maxPolls) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr || maxPolls <= 0) return std::max(maxPolls, 0);
  // When the queue first holds enough: now, at the arrival of one answer in flight, or never.
  const int64_t startUs = loop_.NowUs();
  int64_t readyUs = -1;
  if (static_cast<int64_t>(entry->RxWaiting()) > moreThan) {
    readyUs = startUs;
  } else {
    int64_t bytes = static_cast<int64_t>(entry->RxWaiting());
    for (const InFlight& answer : entry->inFlight) {
      bytes += static_cast<int64_t>(answer.size);
      if (bytes > moreThan) {
        readyUs = answer.arrivalUs;
        break;
      }
    }
  }
  int64_t polls = maxPolls;
  if (readyUs >= 0) {
    // The first poll made at or after the arrival sees it; polls happen every kPollCostUs.
    polls = std::clamp<int64_t>((readyUs - startUs + kPollCostUs - 1) / kPollCostUs, 1, maxPolls);
  }
  if (loop_.IsVirtual()) {
    loop_.Charge(polls * kPollCostUs);
  } else {
    const int64_t untilUs = readyUs >= 0 ? readyUs : startUs + int64_t{maxPolls} * kRxPollUs;
    const int64_t sleepUs = std::min(untilUs, startUs + int64_t{maxPolls} * kRxPollUs) - startUs;
    if (sleepUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(sleepUs));
  }
  Deliver(*entry, loop_.NowUs());
  return static_cast<int>(polls);
}

int InProcessSerialPort::SioRxClear(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  // Like a real line: what has arrived is dropped, what is still on its way arrives later.
  entry->ClearRx();
  return 0;
}

int InProcessSerialPort::SioTxClear(int port) {
  // Written bytes reach the device at once; nothing waits to be sent.
  return OpenEntry(port) == nullptr ? kSioNotOpen : 0;
}

int InProcessSerialPort::SioDone(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  entry->open = false;
  entry->ClearRx();
  entry->ClearInFlight();
  return 0;
}

std::string InProcessSerialPort::PortDescription(int port) const {
  auto it = table_.find(port);
  return it == table_.end() ? std::string() : it->second.description;
}

std::vector<int> InProcessSerialPort::Ports() const {
  std::vector<int> ports;
  for (const auto& [index, entry] : table_) ports.push_back(index);
  return ports;
}

}  // namespace wendlar
