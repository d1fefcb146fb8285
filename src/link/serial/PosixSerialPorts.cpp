#include "link/serial/PosixSerialPorts.h"

#include <fcntl.h>
#include <libserialport.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <climits>
#include <iterator>

namespace wendlar {

namespace {

// A write that makes no progress for this long means the device has stopped taking bytes.
constexpr int kWriteStallMs = 2000;

bool SpeedForCode(int baudCode, speed_t& speed) {
  static constexpr speed_t kSpeeds[] = {B300,  B600,  B1200,  B2400,  B4800,
                                        B9600, B19200, B38400, B57600, B115200};
  if (baudCode < 0 || baudCode >= static_cast<int>(std::size(kSpeeds))) return false;
  speed = kSpeeds[baudCode];
  return true;
}

int OpenErrorCode(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR: return kSioNoSuchPort;
    case EBUSY: return kSioPortBusy;
    default: return kSioOpenFailed;
  }
}

// Raw 8N1 at 19200 baud, no flow control, reads that never wait.
bool ConfigureRaw(int fd) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return false;
  ::cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, B19200);
  ::cfsetospeed(&t, B19200);
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

std::vector<SerialDeviceInfo> DiscoverSerialDevices() {
  std::vector<SerialDeviceInfo> devices;
  sp_port** list = nullptr;
  if (sp_list_ports(&list) != SP_OK || list == nullptr) return devices;
  for (sp_port** p = list; *p != nullptr; ++p) {
    const char* name = sp_get_port_name(*p);
    if (name == nullptr) continue;
    SerialDeviceInfo info{name, ""};
    const char* description = sp_get_port_description(*p);
    // A native port's "description" is often just its own name again.
    if (description != nullptr && info.path.find(description) == std::string::npos) {
      info.description = description;
    }
    devices.push_back(std::move(info));
  }
  sp_free_port_list(list);
  std::sort(devices.begin(), devices.end(),
            [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) { return a.path < b.path; });
  return devices;
}

PosixSerialPorts::~PosixSerialPorts() {
  for (auto& [index, entry] : table_) Close(entry);
}

int PosixSerialPorts::Discover() {
  auto devices = DiscoverSerialDevices();
  const int found = static_cast<int>(devices.size());
  SetDevices(std::move(devices));
  return found;
}

void PosixSerialPorts::SetDevices(std::vector<SerialDeviceInfo> devices) {
  std::vector<SerialDeviceInfo> addedPaths;
  for (auto& [index, entry] : table_) {
    Close(entry);
    if (entry.addedByPath) addedPaths.push_back(entry.device);
  }
  table_.clear();
  std::sort(devices.begin(), devices.end(),
            [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) { return a.path < b.path; });
  devices.erase(std::unique(devices.begin(), devices.end(),
                            [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) { return a.path == b.path; }),
                devices.end());
  int next = kFirstDevicePort;
  for (auto& device : devices) table_[next++].device = std::move(device);
  for (auto& device : addedPaths) {
    const int index = AddDevicePath(device.path);
    table_[index].addedByPath = true;
  }
}

int PosixSerialPorts::AddDevicePath(const std::string& path) {
  for (const auto& [index, entry] : table_) {
    if (entry.device.path == path) return index;
  }
  const int index = table_.empty() ? kFirstDevicePort : std::max(kFirstDevicePort, table_.rbegin()->first + 1);
  Entry& entry = table_[index];
  entry.device.path = path;
  entry.addedByPath = true;
  return index;
}

std::string PosixSerialPorts::DevicePath(int port) const {
  auto it = table_.find(port);
  return it == table_.end() ? std::string() : it->second.device.path;
}

std::string PosixSerialPorts::PortDescription(int port) const {
  auto it = table_.find(port);
  if (it == table_.end()) return {};
  const SerialDeviceInfo& device = it->second.device;
  return device.description.empty() ? device.path : device.path + " (" + device.description + ")";
}

std::vector<int> PosixSerialPorts::Ports() const {
  std::vector<int> ports;
  for (const auto& [index, entry] : table_) ports.push_back(index);
  return ports;
}

int PosixSerialPorts::SioReset(int port, int rxQueueSize, int txQueueSize) {
  // The operating system buffers both directions; the host queue grows as needed.
  (void)rxQueueSize;
  (void)txQueueSize;
  auto it = table_.find(port);
  if (it == table_.end()) return kSioNoSuchPort;
  Entry& entry = it->second;
  if (entry.fd >= 0) {
    ::tcflush(entry.fd, TCIOFLUSH);
    entry.rx.clear();
    return 0;
  }
  const int fd = ::open(entry.device.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return OpenErrorCode(errno);
  // TIOCEXCL alone does not stop a privileged program, so the flock is the real guard
  // between two copies of this program.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? kSioPortBusy : kSioOpenFailed;
  }
  if (!::isatty(fd) || !ConfigureRaw(fd)) {
    ::close(fd);
    return kSioOpenFailed;
  }
  ::ioctl(fd, TIOCEXCL);
  ::tcflush(fd, TCIOFLUSH);
  entry.fd = fd;
  entry.rx.clear();
  return 0;
}

PosixSerialPorts::Entry* PosixSerialPorts::OpenEntry(int port) {
  auto it = table_.find(port);
  if (it == table_.end() || it->second.fd < 0) return nullptr;
  return &it->second;
}

int PosixSerialPorts::SioBaud(int port, int baudCode) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  speed_t speed{};
  if (!SpeedForCode(baudCode, speed)) return kSioBadParameter;
  termios t{};
  if (::tcgetattr(entry->fd, &t) != 0) return kSioOpenFailed;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  return ::tcsetattr(entry->fd, TCSANOW, &t) == 0 ? 0 : kSioOpenFailed;
}

int PosixSerialPorts::SioParms(int port, int parity, int stopBits, int dataBits) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  if (parity < 0 || parity > 2 || stopBits < 0 || stopBits > 1 || dataBits < 5 || dataBits > 8) {
    return kSioBadParameter;
  }
  termios t{};
  if (::tcgetattr(entry->fd, &t) != 0) return kSioOpenFailed;
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
  t.c_cflag |= kSizes[dataBits - 5];
  if (parity != 0) t.c_cflag |= PARENB;
  if (parity == 1) t.c_cflag |= PARODD;
  if (stopBits == 1) t.c_cflag |= CSTOPB;
  return ::tcsetattr(entry->fd, TCSANOW, &t) == 0 ? 0 : kSioOpenFailed;
}

int PosixSerialPorts::SioPuts(int port, const char* data, int length) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  if (data == nullptr || length <= 0) return 0;
  int sent = 0;
  while (sent < length) {
    const ssize_t n = ::write(entry->fd, data + sent, static_cast<size_t>(length - sent));
    if (n > 0) {
      sent += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return kSioWriteFailed;
    // The device's buffer is full: wait for room, but not for ever.
    pollfd pfd{entry->fd, POLLOUT, 0};
    const int ready = ::poll(&pfd, 1, kWriteStallMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return kSioWriteFailed;
  }
  return sent;
}

int PosixSerialPorts::SioPutc(int port, char byte) {
  const int sent = SioPuts(port, &byte, 1);
  return sent < 0 ? sent : 0;
}

void PosixSerialPorts::Drain(Entry& entry) {
  unsigned char buffer[512];
  for (;;) {
    const ssize_t n = ::read(entry.fd, buffer, sizeof buffer);
    if (n > 0) {
      entry.rx.insert(entry.rx.end(), buffer, buffer + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // Nothing more now (EAGAIN), or the far end hung up (EIO on a pseudo-terminal).
    return;
  }
}

int PosixSerialPorts::SioGetc(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  if (entry->rx.empty()) Drain(*entry);
  if (entry->rx.empty()) return kSioNoData;
  const int byte = entry->rx.front();
  entry->rx.pop_front();
  return byte;
}

int PosixSerialPorts::SioRxQue(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  Drain(*entry);
  return static_cast<int>(std::min<size_t>(entry->rx.size(), INT_MAX));
}

int PosixSerialPorts::WaitRxQue(int port, int moreThan, int maxPolls) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr || maxPolls <= 0) return std::max(maxPolls, 0);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::microseconds(int64_t{maxPolls} * kRxPollUs);
  int polls = 0;
  for (;;) {
    Drain(*entry);
    ++polls;
    if (static_cast<int64_t>(entry->rx.size()) > moreThan) return std::min(polls, maxPolls);
    const auto left = deadline - Clock::now();
    if (polls >= maxPolls || left <= Clock::duration::zero()) return maxPolls;
    const auto leftNs = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{static_cast<time_t>(leftNs / 1000000000), static_cast<long>(leftNs % 1000000000)};
    pollfd pfd{entry->fd, POLLIN, 0};
    const int ready = ::ppoll(&pfd, 1, &timeout, nullptr);
    if (ready < 0 && errno != EINTR) return maxPolls;
    // A device that has gone (the far end closed, an adapter unplugged) will send nothing
    // more: take what it left and stop waiting.
    if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (pfd.revents & POLLIN) == 0) {
      Drain(*entry);
      return static_cast<int64_t>(entry->rx.size()) > moreThan ? std::min(polls + 1, maxPolls) : maxPolls;
    }
  }
}

int PosixSerialPorts::SioRxClear(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  ::tcflush(entry->fd, TCIFLUSH);
  entry->rx.clear();
  return 0;
}

int PosixSerialPorts::SioTxClear(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  ::tcflush(entry->fd, TCOFLUSH);
  return 0;
}

int PosixSerialPorts::SioDone(int port) {
  Entry* entry = OpenEntry(port);
  if (entry == nullptr) return kSioNotOpen;
  Close(*entry);
  return 0;
}

void PosixSerialPorts::Close(Entry& entry) {
  if (entry.fd < 0) return;
  ::ioctl(entry.fd, TIOCNXCL);
  ::close(entry.fd);  // releases the flock too
  entry.fd = -1;
  entry.rx.clear();
}

}  // namespace wendlar
