#include "sim/SimPtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace wendlar::sim {
namespace {

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

SimPtyServer::SimPtyServer(SimOptions options) : startNs_(SteadyNs()) {
  controller_ = std::make_unique<SimController>([this] { return NowUs(); }, std::move(options));
  device_ = controller_.get();
}

SimPtyServer::SimPtyServer(SerialDevice& device) : startNs_(SteadyNs()), device_(&device) {}

SimPtyServer::~SimPtyServer() {
  if (slaveKeeper_ >= 0) close(slaveKeeper_);
  if (master_ >= 0) close(master_);
}

int64_t SimPtyServer::NowUs() const { return (SteadyNs() - startNs_) / 1000; }

bool SimPtyServer::Open(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  char name[128] = {};
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("cannot prepare the pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  slaveKeeper_ = open(name, O_RDWR | O_NOCTTY);
  if (slaveKeeper_ < 0 || !MakeRaw(slaveKeeper_)) {
    error = std::string("cannot set up ") + name + ": " + std::strerror(errno);
    return false;
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  path_ = name;
  return true;
}

void SimPtyServer::Serve(const std::atomic<bool>& stop, const std::function<void()>& between) {
  if (master_ < 0) return;
  char buffer[4096];
  std::string reply;
  while (!stop.load()) {
    if (between) between();
    pollfd p{master_, POLLIN, 0};
    const int ready = poll(&p, 1, 20);
    if (ready <= 0 || !(p.revents & POLLIN)) continue;
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) continue;
    reply.clear();
    device_->Write(std::string_view(buffer, static_cast<size_t>(n)), reply);
    size_t sent = 0;
    while (sent < reply.size() && !stop.load()) {
      const ssize_t w = write(master_, reply.data() + sent, reply.size() - sent);
      if (w > 0) {
        sent += static_cast<size_t>(w);
      } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
        break;  // nobody can take it: the reply is lost as on a pulled cable
      } else {
        pollfd out{master_, POLLOUT, 0};
        poll(&out, 1, 20);
      }
    }
  }
}

}  // namespace wendlar::sim
