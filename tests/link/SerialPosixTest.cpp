// The termios backend over pseudo-terminal pairs, with a peer on the master side.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "support/TempDir.h"
#include "link/serial/PosixSerialPorts.h"

namespace wendlar {
namespace {

using namespace std::chrono_literals;

// The master side of a pseudo-terminal; the port under test opens the slave path.
class PtyPeer {
 public:
  PtyPeer() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      const char* name = ::ptsname(master_);
      if (name != nullptr) slavePath_ = name;
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~PtyPeer() {
    Stop();
    if (master_ >= 0) ::close(master_);
  }

  bool Ok() const { return !slavePath_.empty(); }
  const std::string& SlavePath() const { return slavePath_; }
  int Master() const { return master_; }

  void Write(const std::string& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) done += static_cast<size_t>(n);
      else std::this_thread::sleep_for(1ms);
    }
  }

  // Reads until `count` bytes came or the time is up.
  std::string Read(size_t count, std::chrono::milliseconds timeout = 2000ms) const {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n > 0) got.append(buffer, static_cast<size_t>(n));
      else std::this_thread::sleep_for(1ms);
    }
    return got;
  }

  // Answers every line (ended by CR, LF dropped) found in `answers`, like a controller.
  void StartController(std::map<std::string, std::string> answers) {
    stop_ = false;
    thread_ = std::thread([this, answers = std::move(answers)] {
      std::string line;
      while (!stop_) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, 5) <= 0 || (pfd.revents & POLLIN) == 0) {
          std::this_thread::sleep_for(1ms);  // nothing, or no slave open yet
          continue;
        }
        char c;
        while (::read(master_, &c, 1) == 1) {
          {
            std::lock_guard lock(mutex_);
            received_ += c;
          }
          if (c == '\n') continue;
          if (c != '\r') {
            line += c;
            continue;
          }
          auto it = answers.find(line);
          if (it != answers.end()) Write(it->second);
          line.clear();
        }
      }
    });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::string Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
  std::thread thread_;
  std::atomic<bool> stop_{true};
  std::mutex mutex_;
  std::string received_;
};

// Polls the receive queue until it holds more than `after` bytes, as SendLine does.
int WaitForMoreThan(SerialPort& ports, int port, int after, std::chrono::milliseconds timeout = 2000ms) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int waiting = ports.SioRxQue(port);
  while (waiting <= after && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(200us);
    waiting = ports.SioRxQue(port);
  }
  return waiting;
}

std::string ReadAll(SerialPort& ports, int port) {
  std::string text;
  for (int c = ports.SioGetc(port); c >= 0; c = ports.SioGetc(port)) text += static_cast<char>(c);
  return text;
}

// A pseudo-terminal whose slave side the backend has opened.
struct OpenPty : ::testing::Test {
  PtyPeer peer;
  PosixSerialPorts ports;
  int port = -1;
  void SetUp() override {
    ASSERT_TRUE(peer.Ok());
    port = ports.AddDevicePath(peer.SlavePath());
    ASSERT_EQ(ports.SioReset(port, 2048, 1024), 0);
  }
};

TEST_F(OpenPty, ExchangesControllerLinesOverAPseudoTerminal) {
  peer.StartController({{"V12345", "Tovrel1.0\r\n"}, {"R2", "2.000000000000\r\n"}});
  EXPECT_EQ(port, 2);
  EXPECT_EQ(ports.SioBaud(port, 6), 0);
  EXPECT_EQ(ports.SioParms(port, 0, 0, 8), 0);

  const std::string identity = "V12345\n\r";
  EXPECT_EQ(ports.SioPuts(port, identity.data(), static_cast<int>(identity.size())), 8);
  EXPECT_EQ(WaitForMoreThan(ports, port, 8), 11);
  EXPECT_EQ(ReadAll(ports, port), "Tovrel1.0\r\n");
  EXPECT_EQ(ports.SioRxQue(port), 0);
  EXPECT_EQ(ports.SioGetc(port), kSioNoData);

  for (char c : std::string("R2\n\r")) EXPECT_EQ(ports.SioPutc(port, c), 0);
  EXPECT_EQ(WaitForMoreThan(ports, port, 15), 16);
  EXPECT_EQ(ports.SioGetc(port), '2');
  EXPECT_EQ(ports.SioRxQue(port), 15);
  EXPECT_EQ(ReadAll(ports, port), ".000000000000\r\n");

  peer.Stop();
  EXPECT_EQ(peer.Received(), "V12345\n\rR2\n\r");
  EXPECT_EQ(ports.SioDone(port), 0);
}

// CPU time this thread has used, in microseconds.
int64_t ThreadCpuUs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return int64_t{t.tv_sec} * 1000000 + t.tv_nsec / 1000;
}

TEST_F(OpenPty, TheReplyWaitSleepsOnTheDeviceUntilTheReplyOrTheDeadline) {

  // A reply that comes 30 ms later, in two pieces: the wait ends when the whole is there.
  std::thread late([&] {
    std::this_thread::sleep_for(20ms);
    peer.Write("2.0000");
    std::this_thread::sleep_for(10ms);
    peer.Write("00000000\r\n");
  });
  auto start = std::chrono::steady_clock::now();
  int64_t cpuStart = ThreadCpuUs();
  const int polls = ports.WaitRxQue(port, 13, 100001);
  auto waited = std::chrono::steady_clock::now() - start;
  late.join();
  EXPECT_LT(polls, 100001);
  EXPECT_GE(waited, 25ms);
  EXPECT_LT(ThreadCpuUs() - cpuStart, 5000) << "the wait must not spin";
  EXPECT_EQ(ReadAll(ports, port), "2.000000000000\r\n");

  // Silence: the poll budget is a deadline of one microsecond per poll, and a time-out
  // reports the whole budget as the spin did.
  start = std::chrono::steady_clock::now();
  cpuStart = ThreadCpuUs();
  EXPECT_EQ(ports.WaitRxQue(port, 2, 100001), 100001);
  waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 100ms);
  EXPECT_LT(waited, 1000ms);
  EXPECT_LT(ThreadCpuUs() - cpuStart, 5000) << "the wait must not spin";
  EXPECT_EQ(ports.SioDone(port), 0);
}

TEST_F(OpenPty, OpensRawEightNoneOneAt19200AndFollowsBaudAndFraming) {

  // On Linux the master reports the slave's settings.
  termios t{};
  ASSERT_EQ(::tcgetattr(peer.Master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);

  // A pseudo-terminal keeps 8 bits without parity whatever is asked; rate and stop bits follow.
  EXPECT_EQ(ports.SioBaud(port, 9), 0);
  EXPECT_EQ(ports.SioParms(port, 2, 1, 7), 0);
  ASSERT_EQ(::tcgetattr(peer.Master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
  EXPECT_EQ(t.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
  EXPECT_EQ(ports.SioBaud(port, 6), 0);
  EXPECT_EQ(ports.SioParms(port, 0, 0, 8), 0);
  ASSERT_EQ(::tcgetattr(peer.Master(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_EQ(t.c_cflag & CSTOPB, 0u);

  EXPECT_EQ(ports.SioBaud(port, 10), kSioBadParameter);
  EXPECT_EQ(ports.SioBaud(port, -1), kSioBadParameter);
  EXPECT_EQ(ports.SioParms(port, 3, 0, 8), kSioBadParameter);
  EXPECT_EQ(ports.SioParms(port, 0, 2, 8), kSioBadParameter);
  EXPECT_EQ(ports.SioParms(port, 0, 0, 9), kSioBadParameter);
  EXPECT_EQ(ports.SioParms(port, 0, 0, 8), 0);

  // Raw in both directions: every byte value arrives as it was sent, CR and LF untouched.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  peer.Write(all);
  EXPECT_EQ(WaitForMoreThan(ports, port, 255), 256);
  EXPECT_EQ(ReadAll(ports, port), all);
  EXPECT_EQ(ports.SioPuts(port, all.data(), 256), 256);
  EXPECT_EQ(peer.Read(256), all);

  // A block larger than the device buffer goes out whole.
  std::string block;
  for (int i = 0; i < 200000; ++i) block += static_cast<char>('A' + i % 26);
  std::string got;
  std::thread reader([&] { got = peer.Read(block.size(), 10000ms); });
  EXPECT_EQ(ports.SioPuts(port, block.data(), static_cast<int>(block.size())), static_cast<int>(block.size()));
  reader.join();
  EXPECT_EQ(got.size(), block.size());
  EXPECT_TRUE(got == block);
}

TEST_F(OpenPty, ASecondOpenOfTheSameDeviceIsRefusedAsBusy) {
  PosixSerialPorts second;
  const int b = second.AddDevicePath(peer.SlavePath());

  const int refused = second.SioReset(b, 2048, 1024);
  EXPECT_EQ(refused, kSioPortBusy);
  EXPECT_EQ(SioErrorText(refused), "port busy");
  EXPECT_EQ(second.SioPuts(b, "x", 1), kSioNotOpen);

  // Another program is refused the same way.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    PosixSerialPorts other;
    const int index = other.AddDevicePath(peer.SlavePath());
    ::_exit(other.SioReset(index, 128, 128) == kSioPortBusy ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // Programs that take no flock still meet the exclusive mode (a privileged one passes it).
  const int plain = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (plain < 0) {
    EXPECT_EQ(errno, EBUSY);
  } else {
    int exclusive = 0;
    EXPECT_EQ(::ioctl(plain, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    ::close(plain);
  }

  // Once closed, the device is free for the next program.
  EXPECT_EQ(ports.SioDone(port), 0);
  EXPECT_EQ(second.SioReset(b, 2048, 1024), 0);
  EXPECT_EQ(ports.SioReset(port, 2048, 1024), kSioPortBusy);
}

TEST_F(OpenPty, ClearsDiscardWhatIsQueuedOnBothSides) {

  peer.Write("abc");
  ASSERT_EQ(WaitForMoreThan(ports, port, 2), 3);  // now in the host queue
  peer.Write("def");
  std::this_thread::sleep_for(50ms);  // now in the operating system's buffer, not yet read
  EXPECT_EQ(ports.SioRxClear(port), 0);
  EXPECT_EQ(ports.SioRxQue(port), 0);
  EXPECT_EQ(ports.SioGetc(port), kSioNoData);
  peer.Write("g");
  EXPECT_EQ(WaitForMoreThan(ports, port, 0), 1);
  EXPECT_EQ(ReadAll(ports, port), "g");

  // What the far end has already taken stays taken; a transmit clear only drops the rest.
  EXPECT_EQ(ports.SioTxClear(port), 0);
  EXPECT_EQ(ports.SioPuts(port, "fresh", 5), 5);
  EXPECT_EQ(peer.Read(5), "fresh");
}

TEST(SerialPosix, ReservedUnknownMissingAndClosedPortsGiveTheirErrors) {
  PtyPeer peer;
  ASSERT_TRUE(peer.Ok());
  testing::TempDir dir;
  dir.Write("notatty", "plain file");

  PosixSerialPorts ports;
  const int pty = ports.AddDevicePath(peer.SlavePath());
  const int missing = ports.AddDevicePath((dir.Path() / "ttyGone0").string());
  const int file = ports.AddDevicePath((dir.Path() / "notatty").string());
  EXPECT_EQ(missing, 3);
  EXPECT_EQ(file, 4);

  for (int reserved : {0, 1}) EXPECT_EQ(ports.SioReset(reserved, 128, 128), kSioNoSuchPort);
  EXPECT_EQ(ports.SioReset(9, 128, 128), kSioNoSuchPort);
  EXPECT_EQ(ports.SioReset(missing, 128, 128), kSioNoSuchPort);
  EXPECT_EQ(ports.SioReset(file, 128, 128), kSioOpenFailed);

  EXPECT_EQ(ports.SioRxQue(pty), kSioNotOpen);
  EXPECT_EQ(ports.SioGetc(pty), kSioNotOpen);
  EXPECT_EQ(ports.SioPutc(pty, 'x'), kSioNotOpen);
  EXPECT_EQ(ports.SioRxClear(pty), kSioNotOpen);
  EXPECT_EQ(ports.SioDone(pty), kSioNotOpen);

  ASSERT_EQ(ports.SioReset(pty, 128, 128), 0);
  // A second reset of an open port starts again with empty queues.
  peer.Write("late");
  ASSERT_EQ(WaitForMoreThan(ports, pty, 3), 4);
  EXPECT_EQ(ports.SioReset(pty, 128, 128), 0);
  EXPECT_EQ(ports.SioRxQue(pty), 0);
  EXPECT_EQ(ports.SioDone(pty), 0);
  EXPECT_EQ(ports.SioPuts(pty, "x", 1), kSioNotOpen);
}

TEST(SerialPortTable, DevicesTakeIndexesFromTwoInPathOrderAndCommandLinePathsFollow) {
  PosixSerialPorts ports;
  ports.SetDevices({{"/dev/ttyUSB1", "FT232R USB UART"},
                    {"/dev/ttyACM0", ""},
                    {"/dev/ttyUSB0", "CP2102 USB to UART"},
                    {"/dev/ttyACM0", ""}});
  EXPECT_EQ(ports.Ports(), (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(ports.PortDescription(0), "");
  EXPECT_EQ(ports.PortDescription(1), "");
  EXPECT_EQ(ports.PortDescription(2), "/dev/ttyACM0");
  EXPECT_EQ(ports.PortDescription(3), "/dev/ttyUSB0 (CP2102 USB to UART)");
  EXPECT_EQ(ports.DevicePath(4), "/dev/ttyUSB1");
  EXPECT_EQ(PortLabel(ports, 2), "COM 3  /dev/ttyACM0");
  EXPECT_EQ(PortLabel(ports, 4), "COM 5  /dev/ttyUSB1 (FT232R USB UART)");
  EXPECT_EQ(PortLabel(ports, 7), "COM 8");

  EXPECT_EQ(ports.AddDevicePath("/dev/ttyUSB0"), 3);
  EXPECT_EQ(ports.AddDevicePath("/dev/pts/7"), 5);
  EXPECT_EQ(ports.AddDevicePath("/dev/pts/7"), 5);

  // A rescan keeps the order by path and keeps the path given by hand after the devices.
  ports.SetDevices({{"/dev/ttyUSB0", ""}, {"/dev/ttyAMA0", ""}});
  EXPECT_EQ(ports.DevicePath(2), "/dev/ttyAMA0");
  EXPECT_EQ(ports.DevicePath(3), "/dev/ttyUSB0");
  EXPECT_EQ(ports.DevicePath(4), "/dev/pts/7");
  EXPECT_EQ(ports.Ports().size(), 3u);

  PosixSerialPorts empty;
  EXPECT_EQ(empty.AddDevicePath("/dev/ttyUSB3"), 2);
}

}  // namespace
}  // namespace wendlar
