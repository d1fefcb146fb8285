// The whole host connecting to the simulated controller and bringing it up, on virtual time.
#include <gtest/gtest.h>

#include <sstream>

#include "core/VirtualEventLoop.h"
#include "link/serial/InProcessSerialPort.h"
#include "sim/SimController.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "system/System.h"

namespace wendlar {
namespace {

TEST(SimSystem, HostConnectsInitialisesAndReadsBackTheTableOfEitherFamily) {
  for (int firmware : {99, 110}) {
    SCOPED_TRACE(firmware);
    VirtualEventLoop loop;
    sim::SimOptions options;
    options.firmware = firmware;
    sim::SimController controller(loop, options);
    InProcessSerialPort port(loop, controller);
    testing::ScriptedPrompts prompts;
    testing::TempDir dir;
    std::ostringstream out;
    System sys(loop, port, prompts, HomeDir(dir.Path()), out);

    ASSERT_EQ(sys.connection.ConnectController(kFirstDevicePort), kConnectOk);
    const bool ready =
        loop.WaitUntil([&] { return sys.console.View.Progress.Caption() == "Ready"; }, 10 * 60 * 1000);
    ASSERT_TRUE(ready) << sys.console.View.Progress.Caption();
    EXPECT_EQ(controller.StateByte() & sim::kStateNotInitialised, 0);

    // The host's copy is the controller's own table, markers repaired on the 32-bit family.
    const auto& table = sys.tableRead.Words;
    if (firmware < 100) {
      for (int n = 1; n <= 100; ++n) EXPECT_EQ(table[static_cast<size_t>(n - 1)], controller.Speeds().TableWord(n)) << n;
    } else {
      EXPECT_EQ(table[0], 0);
      for (int e = 1; e < 255; ++e) {
        if (e % 25 == 0) {
          EXPECT_GT(table[static_cast<size_t>(e)], table[static_cast<size_t>(e - 1)]) << e;
          EXPECT_LT(table[static_cast<size_t>(e)], table[static_cast<size_t>(e + 1)]) << e;
        } else {
          EXPECT_EQ(table[static_cast<size_t>(e)], controller.Speeds().TableWord(e)) << e;
        }
      }
    }
  }
}

}  // namespace
}  // namespace wendlar
