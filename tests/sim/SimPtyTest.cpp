#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "SimTestSupport.h"
#include "sim/SimPtyServer.h"

namespace wendlar::sim {
namespace {

// Reads until CR LF or until nothing more comes for a second.
std::string ReadReplyLine(int fd) {
  std::string line;
  while (line.size() < 2 || line.substr(line.size() - 2) != "\r\n") {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) break;
    char c;
    if (read(fd, &c, 1) != 1) break;
    line += c;
  }
  return line;
}

std::string Exchange(int fd, const std::string& line) {
  const std::string bytes = line + "\n\r";
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return "";
  return ReadReplyLine(fd);
}

TEST(SimPty, AnyProgramTalksToItThroughThePseudoTerminalInRealTime) {
  SimPtyServer server(SimOptions{});
  std::string error;
  ASSERT_TRUE(server.Open(error)) << error;
  EXPECT_EQ(server.DevicePath().rfind("/dev/", 0), 0u);
  std::atomic<bool> stop{false};
  std::thread serving([&] { server.Serve(stop); });

  const int fd = open(server.DevicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Exchange(fd, "V12345"), "Tovrel1.2\r\n");
  int answered = 0;
  for (int i = 0; i < 1000; ++i) {
    answered += Exchange(fd, testing::Bench::Packet(15, {})) == "OK\r\n" ? 1 : 0;
  }
  EXPECT_EQ(answered, 1000);
  EXPECT_EQ(Exchange(fd, "R2"), "2.E803E8035C01\r\n");  // all thousand entered and ran
  close(fd);

  stop = true;
  serving.join();
}

}  // namespace
}  // namespace wendlar::sim
