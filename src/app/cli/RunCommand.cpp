// `wendlar-cli run FILE`: connects, initialises the controller and runs one job with a
// progress bar, answering stops on the terminal; exits 0 only when the job completed.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CliCommands.h"
#include "app/cli/MachinePorts.h"
#include "config/ConfigFile.h"
#include "job/JobCheck.h"
#include "link/serial/SessionRecord.h"
#include "sim/SimController.h"
#include "system/JobJournal.h"
#include "system/System.h"

namespace wendlar::cli {

namespace {

struct RunOptions {
  std::string file;
  std::string port;
  bool simulator = false;
  bool fast = false;
  bool metric = false;
  bool force = false;
  int fromLine = 0;
  bool resume = false;      // from the line the job journal holds
  std::string record;       // session record of every line exchanged
};

// Only this flag is shared with the signal handler. The link tests it before every line it
// sends (the stop record goes out first, and no motion after it); a fast timer takes the
// rest of the stop path.
std::atomic<bool> gInterrupt{false};

void OnInterrupt(int) { gInterrupt.store(true); }

constexpr int64_t kInitialiseWaitMs = 60000;
constexpr int64_t kWaitSliceMs = 1000;
// After Ctrl+C the program waits this long for the controller's end report, no longer.
constexpr int64_t kInterruptGraceUs = 300000;
// How often the loop looks at the signal flag while nothing is sent. On simulated time a
// millisecond passes in microseconds, so a long fast run looks far less often.
constexpr int kSignalWatchMs = 2;
constexpr int kFastSignalWatchMs = 100;

bool IsSpoolFile(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".vrj";
}

int CountLines(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  int lines = 0;
  char last = '\n';
  std::vector<char> block(1 << 16);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    const auto n = static_cast<size_t>(in.gcount());
    lines += static_cast<int>(std::count(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n), '\n'));
    last = block[n - 1];
  }
  return last == '\n' ? lines : lines + 1;
}

std::string Clock(int64_t us) {
  const int64_t s = us / 1000000;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
  return text;
}

// Questions on the terminal; without one, every question is answered No.
class TerminalPrompts : public Prompts {
 public:
  void Warning(const std::string& text) override { std::cerr << "\nwarning: " << text << std::endl; }
  bool AskYesCancel(const std::string& text) override { return Ask(text); }
  bool AskYesNo(const std::string& text) override { return Ask(text); }
  // The command line has answered it: --force runs a job that leaves the travel.
  bool AskRunAnyway(const std::string&) override { return RunAnyway; }
  bool RunAnyway = false;
  std::optional<std::string> OpenFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(const FileDialog&) override { return std::nullopt; }
  std::optional<std::string> BrowseDirectory(const std::string&, const std::string&) override { return std::nullopt; }

 private:
  static bool Ask(const std::string& text) {
    std::cerr << "\n" << text << " [y/N] " << std::flush;
    if (!isatty(STDIN_FILENO)) {
      std::cerr << "n (no terminal)" << std::endl;
      return false;
    }
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
  }
};

class JobRun {
 public:
  JobRun(const RunOptions& options, const CliContext& context) : options_(options), context_(context) {}

  int Run() {
    const std::filesystem::path file(options_.file);
    if (!std::filesystem::is_regular_file(file)) {
      std::cerr << "run: cannot read " << options_.file << ": " << UnreadableReason(file) << "\n";
      return 2;
    }
    spool_ = IsSpoolFile(file);
    if (!options_.simulator && options_.port.empty()) {
      std::cerr << "run: give --port DEVICE or --simulator\n";
      return 2;
    }
    total_ = spool_ ? static_cast<int>(std::filesystem::file_size(file) / kSpoolRecordBytes) - 2 : CountLines(file);
    total_ = std::max(total_, 0);

    gInterrupt.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;  // a second Ctrl+C ends the program at once
    sigaction(SIGINT, &action, nullptr);

    MachinePorts machine;
    machine.Open(options_.simulator, options_.fast, options_.port);
    loop_ = std::move(machine.loop);
    sim_ = std::move(machine.sim);
    ports_ = std::move(machine.ports);
    const int portIndex = machine.portIndex;
    if (!options_.record.empty()) {
      record_.open(options_.record, std::ios::binary | std::ios::trunc);
      if (!record_) {
        std::cerr << "run: cannot write the session record " << options_.record << ": " << std::strerror(errno) << "\n";
        return 2;
      }
      recordedPorts_ = std::move(ports_);
      ports_ = std::make_unique<RecordingSerialPort>(*recordedPorts_, record_,
                                                     [loop = loop_.get()] { return loop->NowUs(); });
    }
    sys_ = std::make_unique<System>(*loop_, *ports_, prompts_, context_.Home(), std::cout);
    System& sys = *sys_;
    sys.flags.StopSignal = &gInterrupt;
    // A fast run is itself the estimate; a real one estimates in the background for its
    // time left.
    sys.jobClock.SetEnabled(!options_.fast);
    // Settings and the machine file come from the program directory when it has them.
    if (std::filesystem::exists(sys.home.Resolve(kEnvironmentFile))) (void)sys.environment.LoadEnvironment();
    sys.LoadTravelFile();
    if (sim_) {
      sys.engines.Hooks.RefreshControllerTravel = [this] {
        UseControllerTravel(sys_->config.Travel, sim_->ReportedTravelMin(), sim_->ReportedTravelMax());
      };
    }
    prompts_.RunAnyway = options_.force;
    if (options_.metric) {
      // An inch machine file (or the default one) is the same machine in millimetres.
      if (sys.config.Config.UnitsMode != 2) ConvertConfigToMetric(sys.config.Config);
      SetMetricUnits(sys.config.Units);
    }
    sys.console.StartClock();
    // A run on simulated time is no machine's job: it leaves the journal alone.
    if (!options_.fast) sys.resume.EnableJournal();
    if (options_.resume && !ReadResume(file)) return resumeCode_;

    std::cerr << "Connecting to " << (options_.simulator ? "the simulated controller" : options_.port) << "..."
              << std::endl;
    if (sys.connection.ConnectController(portIndex) != kConnectOk) {
      std::cerr << "run: no controller answered";
      for (const auto& line : sys.connection.View().Msg_list.Items()) std::cerr << "\n  " << line;
      std::cerr << std::endl;
      return 2;
    }
    // A set-up that a fault ended, or a controller that went away, ends the wait too.
    const bool ready = loop_->WaitUntil(
        [&] {
          return (sys.console.View.Progress.Caption() == "Ready" && !sys.console.State.Initialising) ||
                 gInterrupt.load() || sys.console.State.InitHeld || !sys.link.Connected;
        },
        kInitialiseWaitMs);
    if (gInterrupt.load()) {
      std::cerr << "run: interrupted before the job started\n";
      return 1;
    }
    if (sys.console.State.InitHeld && sys.status.State() == MachineState::Alarm) {
      std::cerr << "run: the controller is in alarm (" << sys.console.View.Progress.Caption()
                << "); clear the fault and reset the controller, then run again\n";
      return 1;
    }
    if (!ready || sys.console.State.InitHeld || !sys.link.Connected) {
      std::string state = sys.console.View.Progress.Caption();
      if (state.empty() || state == " ") state = "it did not report ready within " + std::to_string(kInitialiseWaitMs / 1000) + " s";
      std::cerr << "run: the controller was not initialised (" << state << ")\n";
      return 2;
    }
    std::cerr << "Controller ready." << std::endl;
    // A controller that holds a latched fault (stop button, overtravel, checksum) takes the
    // records but never runs them: the job would wait for ever on a machine that may move
    // the moment the fault is cleared.
    (void)loop_->WaitUntil([] { return false; }, 300);
    if (sys.status.State() == MachineState::Alarm) {
      std::cerr << "run: the controller is in alarm (stop button, overtravel, door, servo or checksum fault); "
                   "clear the fault and reset the controller, then run again\n";
      return 1;
    }

    // Whether the line comes from the journal or from --from-line, the machine goes on from
    // where the job left it, which a controller powered up since no longer knows.
    if (options_.fromLine > 1 && sys.resume.ControllerWasReset()) {
      // Nobody at a terminal to say the machine has been homed: no resume.
      if (!prompts_.AskYesNo(std::string(kHomeBeforeResume) + " Resume anyway?")) {
        std::cerr << "run: not resumed\n";
        return 1;
      }
    }
    if (!Prepare(file)) return refused_ ? 1 : 2;
    return RunToEnd();
  }

 private:
  void ShowResume(const char* what) const {
    const System& sys = *sys_;
    const double uf = sys.config.Units.UnitsFactor;
    std::cerr << "Resuming at " << what << " " << options_.fromLine << " from X" << sys.engines.ResumeX / uf
              << " Y" << sys.engines.ResumeY / uf << " Z" << sys.engines.ResumeZ / uf << std::endl;
  }

  // --resume: the journal must hold this job, not completed, and the file, the units and
  // the work offset must be as they were when it ran.
  bool ReadResume(const std::filesystem::path& file) {
    System& sys = *sys_;
    const JournalRead read = ReadJournal(sys.home);
    const std::string journal = sys.home.Resolve(kJournalFile).string();
    resumeCode_ = 2;
    switch (read.State) {
      case JournalState::None:
        std::cerr << "run: there is no job journal (" << journal << "): nothing to resume\n";
        return false;
      case JournalState::Damaged:
        std::cerr << "run: the job journal " << journal << " is damaged (" << read.Problem
                  << ") and is not trusted; run the job without --resume, from a line you choose with --from-line\n";
        return false;
      case JournalState::Completed:
        std::cerr << "run: the last job journalled, " << read.Job.File << ", completed: nothing to resume\n";
        return false;
      case JournalState::Open:
        break;
    }
    const JournalJob& job = read.Job;
    std::error_code ec;
    if (!std::filesystem::equivalent(file, job.File, ec)) {
      std::cerr << "run: the job journal holds " << job.File << ", not " << options_.file << "\n";
      return false;
    }
    resumeCode_ = 1;
    const std::string problem = sys.resume.ResumeProblem(job);
    if (!problem.empty()) {
      std::cerr << "run: cannot resume " << job.File << " from line " << job.Line << ": " << problem << "\n";
      return false;
    }
    sys.resume.UseJournalledOffset(job);
    options_.fromLine = job.Line;
    std::cerr << "Resume " << job.File << " from line " << job.Line << " (last executed)";
    if (!job.Ended.empty()) std::cerr << "; it ended: " << job.Ended;
    std::cerr << std::endl;
    return true;
  }

  // The whole job is read before anything is sent; a refused job prints why.
  bool Refused() {
    if (sys_->engines.PreflightJob()) return LeavesTravel();
    refused_ = true;
    std::cout << "Job refused:\n";
    for (const std::string& line : RefusalLines(sys_->engines.LastPreflight, 10)) std::cout << "  " << line << "\n";
    return true;
  }

  // What the console says before Run: no travel set, a job beyond the travel (refused unless
  // --force), a job faster than the link.
  bool LeavesTravel() {
    const System& sys = *sys_;
    if (!sys.config.Travel.Any()) std::cout << kNoTravelText << "\n";
    for (const std::string& line :
         LinkRateWarning(sys.engines.LastPreflight, sys.link.TransferPacketsPerSec, sys.config.Units)) {
      std::cout << "warning: " << line << "\n";
    }
    const auto leaves = TravelRefusals(sys.engines.LastPreflight, sys.config);
    if (leaves.empty()) return false;
    for (const std::string& line : leaves) std::cout << line << "\n";
    if (options_.force) {
      std::cout << "Running anyway (--force)\n";
      return false;
    }
    std::cout << "Job refused: give --force to run it anyway\n";
    refused_ = true;
    return true;
  }

  bool Prepare(const std::filesystem::path& file) {
    System& sys = *sys_;
    sys.consoleSettings.ChooseJobMode(spool_ ? 1 : 2);
    const std::string path = std::filesystem::absolute(file).string();
    if (spool_) {
      if (!sys.run.ChooseSpoolFile(path)) {
        std::cerr << "run: cannot open the spooler job " << options_.file << ": " << UnreadableReason(file) << "\n";
        return false;
      }
      if (Refused()) return false;
      if (options_.fromLine > 1 && !sys.engines.ResumeSpoolAtRecord(options_.fromLine)) {
        std::cerr << "run: the job does not reach record " << options_.fromLine << "\n";
        return false;
      }
      if (options_.fromLine > 1) ShowResume("record");
    } else {
      if (!sys.run.PrepareGcodeFile(path)) {
        std::cerr << "run: cannot open the program " << options_.file << ": " << UnreadableReason(file) << "\n";
        return false;
      }
      if (Refused()) return false;
      if (options_.fromLine > 1 && !sys.engines.ResumeGcodeAtLine(options_.fromLine)) {
        std::cerr << "run: the program does not reach line " << options_.fromLine << "\n";
        return false;
      }
      if (options_.fromLine > 1) ShowResume("line");
    }
    return true;
  }

  int RunToEnd() {
    System& sys = *sys_;
    ConsoleState& s = sys.console.State;
    historyFrom_ = sys.jumpbox.View.Fault_list.Items().size();
    messagesFrom_ = sys.console.View.Com_list.Items().size();
    startUs_ = loop_->NowUs();
    auto watch = loop_->CreateTimer(100, true, [this] { Watch(); });
    auto signalWatch = loop_->CreateTimer(options_.fast ? kFastSignalWatchMs : kSignalWatchMs, true,
                                          [this] { WatchSignal(); });
    auto progress = loop_->CreateTimer(options_.fast ? 100 : 250, true, [this] { ProgressTick(); });

    for (;;) {
      sys.status.Run.JobCompleted = false;
      sys.run.RunJob();
      WaitForEnd();
      if (interrupted_ || !sys.engines.Continuing() || !sys.status.Run.ToolChangeStop) break;
      // Stopped for a manual tool change: the prompt is up; Continue lets Run go on.
      while (!sys.console.View.Continue.Visible() && !interrupted_ && s.JobActive) (void)loop_->WaitUntil([] { return false; }, 100);
      (void)loop_->WaitUntil([&] { return sys.run.ContinuePressed || interrupted_ || noTerminal_; }, INT32_MAX);
      if (interrupted_ || noTerminal_) break;
    }
    ProgressTick(/*last=*/true);
    std::cout << "\n";
    signal(SIGINT, SIG_DFL);
    return Report();
  }

  // Until the controller reports the job's end, the silence watch ends it, or a Ctrl+C's
  // short grace has passed.
  void WaitForEnd() {
    System& sys = *sys_;
    auto over = [&] {
      return !sys.console.State.JobActive || !sys.link.Connected ||
             (interrupted_ && loop_->NowUs() - interruptedUs_ > kInterruptGraceUs);
    };
    // The job's end comes with a status reply, which a timer asks for; Ctrl+C is watched
    // by a timer too.
    while (!over()) (void)loop_->WaitForTimers(over, kWaitSliceMs);
  }

  // Ctrl+C, seen from the loop: the rest of the stop path after the link's stop record.
  void WatchSignal() {
    if (!gInterrupt.load() || interrupted_) return;
    interrupted_ = true;
    interruptedUs_ = loop_->NowUs();
    std::cerr << "\nInterrupted: stopping the machine." << std::endl;
    sys_->run.EmergencyStop();
  }

  // The operator's answers at a tool change, seen from the loop.
  void Watch() {
    System& sys = *sys_;
    if (interrupted_) return;
    ConsoleView& v = sys.console.View;
    if (!v.Continue.Visible()) {
      asked_ = false;
      return;
    }
    if (!asked_) {
      asked_ = true;
      std::cerr << "\n" << v.Continue.Caption() << "\nPress Enter to continue, Ctrl+C to stop. " << std::flush;
    }
    if (!isatty(STDIN_FILENO) && !options_.fast) {
      // Nobody can answer: take the stop path rather than wait for ever.
      noTerminal_ = true;
      std::cerr << "no terminal to answer: stopping." << std::endl;
      sys.run.EmergencyStop();
      return;
    }
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const bool lineReady = options_.fast || poll(&p, 1, 0) > 0;
    if (!lineReady) return;
    std::string line;
    if (!std::getline(std::cin, line)) {
      noTerminal_ = true;
      std::cerr << "no answer: stopping." << std::endl;
      sys.run.EmergencyStop();
      return;
    }
    sys.run.ContinueJob();
  }

  // Every tick notes the simulator's buffer fill; the line itself is drawn only when it
  // shows: on a terminal at most every 100 ms of real time (a fast run's ticks come far
  // quicker), elsewhere a plain line every 5 s of machine time. The last one always shows
  // on a terminal.
  void ProgressTick(bool last = false) {
    NoteBufferFill();
    if (stdoutIsTerminal_) {
      const auto now = std::chrono::steady_clock::now();
      if (options_.fast && !last && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
      lastDrawn_ = now;
    } else if (loop_->NowUs() - lastPlainUs_ < 5000000) {
      return;
    }
    DrawProgress();
  }

  void NoteBufferFill() {
    const ConsoleState& s = sys_->console.State;
    if (sim_ && s.Operation == LongOperation::Job && s.JobActive) {
      const int simFill = sim_->BufferFill();
      if (simFill >= SegmentBuffer::kRoomMargin) filled_ = true;
      if (filled_) minFill_ = std::min(minFill_, simFill);
    }
  }

  void DrawProgress() {
    System& sys = *sys_;
    // Progress follows the machine: the line of the last record the controller executed.
    const JobProgress& executed = sys.status.Run.Progress;
    int done = executed.Running() ? executed.ExecutedLine() : total_;
    done = std::clamp(done, 0, total_);
    const int fill = sys.status.BufferFill();
    constexpr int kWidth = 30;
    const int bar = total_ > 0 ? done * kWidth / total_ : kWidth;
    std::string line = "\r[" + std::string(static_cast<size_t>(bar), '#') +
                       std::string(static_cast<size_t>(kWidth - bar), '-') + "] " + std::to_string(done) + "/" +
                       std::to_string(total_) + (spool_ ? " records" : " lines") + "  buffer " +
                       std::to_string(fill) + "/" + std::to_string(sys.report.BufferSize) + "  " +
                       Clock(loop_->NowUs() - startUs_) + Remaining(done) + "  " +
                       MachineStateText(sys.status.State()) + "   ";
    if (stdoutIsTerminal_) {
      std::cout << line << std::flush;
    } else {
      lastPlainUs_ = loop_->NowUs();
      std::cout << line.substr(1) << "\n" << std::flush;
    }
  }

  // The time left from the job's estimate, or at the pace of the lines executed so far;
  // empty until there is either.
  std::string Remaining(int done) const {
    if (auto left = sys_->jobClock.RemainingUs()) return " (" + Clock(*left) + " left)";
    const int64_t elapsed = loop_->NowUs() - startUs_;
    if (done <= 0 || done >= total_ || elapsed <= 0) return "";
    return " (" + Clock(elapsed * (total_ - done) / done) + " left)";
  }

  int Report() {
    System& sys = *sys_;
    const auto& items = sys.jumpbox.View.Fault_list.Items();
    bool completedLine = false;
    std::cout << "Fault history:\n";
    for (size_t i = historyFrom_; i < items.size(); ++i) {
      std::cout << "  " << items[i] << "\n";
      completedLine = completedLine || items[i].find("* Completed ") != std::string::npos;
    }
    const auto& messages = sys.console.View.Com_list.Items();
    if (messages.size() > messagesFrom_) {
      std::cout << "Messages:\n";
      for (size_t i = messagesFrom_; i < messages.size(); ++i) std::cout << "  " << messages[i] << "\n";
    }
    // A line the reader refused stops the job early; the controller then finishes what it got.
    const bool completed = completedLine && sys.status.Run.JobCompleted && !interrupted_ && !noTerminal_ &&
                           !sys.engines.Continuing() && !sys.engines.LastRunStopped();
    if (sim_) {
      std::cout << "Simulated machine time: " << sim_->JobRunTimeUs() / 1e6 << " s\n";
      if (filled_) {
        std::cout << "Minimum buffer fill while streaming: " << minFill_ << "/" << sim_->BufferSize() << "\n";
      } else {
        std::cout << "Minimum buffer fill while streaming: the whole job fitted in the buffer\n";
      }
      std::cout << "Starvations: " << sim_->Starvations() << " (" << sim_->StarvedUs() / 1000 << " ms)\n";
      std::cout << "Overruns: " << sim_->Overruns() << "\n";
    }
    if (completed) {
      std::cout << "Job completed: " << sys.status.Run.JobDisplayName << "\n";
      return 0;
    }
    std::string reason = sys.console.View.Progress.Caption();
    const std::string notCompleted = "Job not completed ! ";
    if (reason.rfind(notCompleted, 0) == 0) reason = reason.substr(notCompleted.size());
    if (!sys.status.Run.EndFault.empty() && sys.status.Run.EndReason.empty()) reason = sys.status.Run.EndFault;
    if (sys.console.State.JobActive) reason = "the controller did not report the job's end";
    if (interrupted_) reason = "stopped by Ctrl+C";
    if (sys.engines.Continuing()) reason = "stopped for a tool change";
    std::cout << "Job not completed: " << reason << "\n";
    return 1;
  }

  RunOptions options_;
  const CliContext& context_;
  TerminalPrompts prompts_;
  std::unique_ptr<EventLoop> loop_;
  std::unique_ptr<sim::SimController> sim_;
  // With --record the ports the link uses write to record_ and forward to recordedPorts_.
  std::ofstream record_;
  std::unique_ptr<SerialPort> recordedPorts_;
  std::unique_ptr<SerialPort> ports_;
  std::unique_ptr<System> sys_;
  bool spool_ = false;
  bool refused_ = false;
  int resumeCode_ = 2;
  int total_ = 0;
  size_t historyFrom_ = 0;
  size_t messagesFrom_ = 0;
  int64_t startUs_ = 0;
  int64_t lastPlainUs_ = -10000000;
  const bool stdoutIsTerminal_ = isatty(STDOUT_FILENO) != 0;
  std::chrono::steady_clock::time_point lastDrawn_{};
  bool interrupted_ = false;
  int64_t interruptedUs_ = 0;
  bool noTerminal_ = false;
  bool asked_ = false;
  bool filled_ = false;
  int minFill_ = 1 << 30;
};

}  // namespace

void RegisterRunCommand(CommandTable& commands) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* sub = commands.Add("run", "Connect, initialise the controller and run a G-code program or spooler job",
                               [options](const CliContext& context) { return JobRun(*options, context).Run(); });
  sub->add_option("file", options->file, "The job: a G-code program or a spooler job (*.VRJ)")->required();
  auto* port = sub->add_option("--port", options->port, "Serial device of the controller");
  auto* simulator = sub->add_flag("--simulator", options->simulator, "Run the job on the simulated controller");
  port->excludes(simulator);
  sub->add_flag("--fast", options->fast, "With --simulator: run on simulated time and report the machine time")
      ->needs(simulator);
  sub->add_flag("--metric", options->metric, "The machine works in millimetres");
  sub->add_flag("--force", options->force, "Run a job that leaves the machine's travel");
  auto* fromLine = sub->add_option(
      "--from-line", options->fromLine,
      "Resume at this line of a G-code program or record of a spooler job: those before it are read, not sent");
  fromLine->check(CLI::PositiveNumber);
  sub->add_flag("--resume", options->resume,
                "Resume the job where the job journal says the machine was when it stopped, crashed or lost power")
      ->excludes(fromLine);
  sub->add_option("--record", options->record,
                  "Write every line exchanged with the controller, with its time, to this file (see replay)");
}

}  // namespace wendlar::cli
