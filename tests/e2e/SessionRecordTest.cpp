// Session records: what `run --record` writes, how a replay answers a host that sends the
// recorded lines or departs from them, and a recorded simulated job run again against
// `wendlar-cli replay` over a pseudo-terminal.
#include <gtest/gtest.h>

#include <sstream>

#include "link/serial/SessionRecord.h"
#include "support/ChildProcess.h"
#include "support/SimSystem.h"

namespace wendlar::testing {
namespace {

TEST(SessionRecord, TheRecordReadsBackAsTheLinesExchangedWithTheirTimes) {
  EXPECT_EQ(EscapeRecordBytes(std::string("R2\n\r\\\x01\xFF", 7)), "R2\\n\\r\\\\\\x01\\xFF");
  EXPECT_EQ(UnescapeRecordBytes("R2\\n\\r\\\\\\x01\\xFF"), std::string("R2\n\r\\\x01\xFF", 7));
  EXPECT_FALSE(UnescapeRecordBytes("\\x4"));
  EXPECT_FALSE(UnescapeRecordBytes("\\q"));

  // A connection to the simulated controller, recorded on virtual time.
  SimSystem rig;
  std::ostringstream out;
  RecordingSerialPort recording(rig.port, out, [&] { return rig.loop.NowUs(); });
  System sys(rig.loop, recording, rig.prompts, HomeDir(rig.dir.Path()), rig.out);
  sys.console.StartClock();
  ASSERT_EQ(sys.connection.ConnectController(SimSystem::kSimPort), kConnectOk);
  recording.Flush();
  const std::string text = out.str();
  std::istringstream lines(text);
  std::string header, identity, reply;
  std::getline(lines, header);
  std::getline(lines, identity);
  std::getline(lines, reply);
  EXPECT_EQ(header, std::string(kSessionRecordHeader) + "\r");
  EXPECT_EQ(identity.substr(identity.find(' ')), " > V12345\\n\\r\r");
  EXPECT_EQ(reply.substr(reply.find(' ')), " < Tovrel1.2\\r\r");
  // The reply's time is a controller's reply latency after the line's.
  EXPECT_EQ(std::stoll(reply) - std::stoll(identity), 1001);

  std::string error;
  const auto exchanges = ReadSessionRecord(text, error);
  ASSERT_TRUE(exchanges) << error;
  EXPECT_EQ((*exchanges)[0].host, "V12345");
  EXPECT_EQ((*exchanges)[0].reply, "Tovrel1.2\r");
  EXPECT_EQ((*exchanges)[0].fileLine, 2u);
  EXPECT_FALSE(ReadSessionRecord("12 > R2\n", error));
  EXPECT_EQ(error, "it does not start with the session record's header line");
  EXPECT_FALSE(ReadSessionRecord(std::string(kSessionRecordHeader) + "\n12 R2\n", error));
  EXPECT_EQ(error, "line 2 is not \"<microseconds> > text\" or \"... < text\"");
}

TEST(SessionReplay, AnswersTheRecordedLinesInOrderToleratesRequestsAndSaysWhereTheHostDeparted) {
  std::vector<RecordedExchange> recorded = {
      {100, 2, "R2", "2.first\r"}, {200, 3, "S3A", "ok A\r"}, {300, 4, "R2", "2.second\r"},
      {400, 5, "R2", "2.third\r"}, {500, 6, "S3B", "ok B\r"}, {600, 7, "S3C", "ok C\r"}};
  std::vector<std::string> said;
  SessionReplay replay(recorded, [&](const std::string& text) { said.push_back(text); });
  auto ask = [&](const std::string& line) {
    std::string reply;
    replay.Write(line + "\n\r", reply);
    return reply;
  };
  EXPECT_EQ(ask("R2"), "2.first\r");
  EXPECT_EQ(ask("R2"), "2.first\r");    // polled more often than recorded: the same state
  EXPECT_EQ(ask("S3A"), "ok A\r");
  EXPECT_EQ(ask("S3B"), "ok B\r");      // polled less often: the requests between are passed
  EXPECT_TRUE(said.empty());
  EXPECT_EQ(ask("S3X"), "");
  EXPECT_EQ(ask("S3C"), "ok C\r");
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0],
            "the host departed from the recording at its line 5: it sent \"S3X\", the recording has \"S3C\" "
            "(record line 7, 0.000600 s); the recording never has it: no answer");
  EXPECT_EQ(replay.Departures(), 1u);
  EXPECT_EQ(replay.Left(), 0u);
}

TEST(SessionReplayProcess, AJobRecordedOnTheSimulatorRunsAgainstItsReplayWithTheSameLines) {
  const std::string program = CliProgram();
  if (program.empty()) GTEST_SKIP() << "wendlar-cli is not built";
  TempDir home;
  const std::string job = (ExamplesDir() / "demo.nc").string();
  const std::string first = (home.Path() / "first.rec").string();
  const std::string second = (home.Path() / "second.rec").string();
  ChildProcess recordRun;
  ASSERT_TRUE(recordRun.Start({program, "--home", home.Path().string(), "run", job, "--simulator", "--fast",
                               "--record", first}));
  const std::string recordOutput = recordRun.ReadAll(60000);
  ASSERT_EQ(recordRun.Wait(5000), 0) << recordOutput;

  ChildProcess replay;
  const std::string device = replay.StartServer({program, "replay", first});
  ASSERT_FALSE(device.empty());
  ChildProcess run;
  ASSERT_TRUE(run.Start({program, "--home", home.Path().string(), "run", job, "--port", device, "--record", second}));
  const std::string output = run.ReadAll(120000);
  EXPECT_EQ(run.Wait(5000), 0) << output;
  EXPECT_NE(output.find("Job completed"), std::string::npos) << output;
  replay.Interrupt();
  const std::string said = replay.ReadAll(5000);
  EXPECT_EQ(replay.Wait(5000), 0) << said;
  EXPECT_NE(said.find(" 0 departures from the recording, 0 recorded host lines not reached"), std::string::npos) << said;

  // Every line but the timing-dependent requests went out as recorded.
  auto commands = [&](const std::string& name) {
    std::vector<std::string> lines;
    std::string error;
    const auto exchanges = ReadSessionRecord(home.Read(name), error);
    EXPECT_TRUE(exchanges) << error;
    if (!exchanges) return lines;
    for (const auto& e : *exchanges) {
      if (!IsRequestLine(e.host)) lines.push_back(e.host);
    }
    return lines;
  };
  const std::vector<std::string> recordedLines = commands("first.rec");
  EXPECT_GT(recordedLines.size(), 300u);
  EXPECT_EQ(commands("second.rec"), recordedLines);
}

}  // namespace
}  // namespace wendlar::testing
