// Serves the simulated controller on a pseudo-terminal in real time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sim/SimController.h"

namespace wendlar::sim {

// Any serial program (the host itself, a terminal program) can open the device path and
// talk to the controller as to a real one. POSIX only.
class SimPtyServer {
 public:
  explicit SimPtyServer(SimOptions options);
  // Serves another device (a session replay) in the controller's place; Controller() is
  // then not to be used.
  explicit SimPtyServer(SerialDevice& device);
  ~SimPtyServer();
  SimPtyServer(const SimPtyServer&) = delete;
  SimPtyServer& operator=(const SimPtyServer&) = delete;

  // Creates the pseudo-terminal in raw mode; on failure `error` says why.
  [[nodiscard]] bool Open(std::string& error);
  // The path a client opens, such as "/dev/pts/5"; empty before Open.
  const std::string& DevicePath() const { return path_; }
  // Answers the client until `stop` becomes true (checked at least every 20 ms). `between`,
  // when given, runs on the serving thread between reads, at least every 20 ms: the place to
  // inject faults and copy the trace, since the controller is not shared across threads.
  void Serve(const std::atomic<bool>& stop, const std::function<void()>& between = {});
  SimController& Controller() { return *controller_; }

 private:
  int64_t NowUs() const;

  int64_t startNs_ = 0;
  int master_ = -1;
  int slaveKeeper_ = -1;  // held open so the line stays raw and never hangs up between clients
  std::string path_;
  std::unique_ptr<SimController> controller_;
  SerialDevice* device_ = nullptr;  // what answers the client
};

}  // namespace wendlar::sim
