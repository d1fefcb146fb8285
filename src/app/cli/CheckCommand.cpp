// `wendlar-cli check`: reads a job without a controller and reports what it would send, and
// how long the machine would take.
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>

#include "app/cli/CliCommands.h"
#include "job/JobCheck.h"
#include "job/Preflight.h"
#include "system/JobTimeEstimate.h"

namespace wendlar::cli {

namespace {

struct CheckArgs {
  std::string file;
  bool metric = false;
  bool noTime = false;
};

// The job on the simulated controller at its own feeds; the progress goes to a terminal.
void PrintMachineTime(const CheckArgs& args, const CheckOptions& options) {
  JobTimeRequest request;
  request.File = args.file;
  request.Spool = IsSpoolJobFile(args.file);
  request.Config = CheckConfig(options);
  const bool showProgress = isatty(STDERR_FILENO) != 0;
  int shown = -1;
  const std::atomic<bool> never{false};
  const JobTimeEstimate estimate = EstimateJobTime(
      request,
      [&](double done) {
        const int percent = static_cast<int>(done * 100);
        if (!showProgress || percent == shown) return;
        shown = percent;
        std::cerr << "\rEstimating the machine time... " << percent << "%" << std::flush;
      },
      never);
  if (showProgress && shown >= 0) std::cerr << "\r" << std::string(40, ' ') << "\r" << std::flush;
  if (!estimate.Ok) {
    std::cout << "Machine time: not known (" << estimate.Failure << ")\n";
    return;
  }
  std::cout << "Machine time: " << AboutDuration(estimate.Profile.TotalUs) << " ("
            << estimate.Profile.TotalUs / 1e6 << " s on the simulated controller at the job's feeds)\n";
}

}  // namespace

// Registers "check FILE [--metric] [--no-time]"; the exit status is 1 when the job is refused
// or unreadable.
void RegisterCheckCommand(CommandTable& commands) {
  auto args = std::make_shared<CheckArgs>();
  CLI::App* sub = commands.Add("check", "Read a G-code program or spooler job without a controller and report it",
                               [args](const CliContext&) {
                                 CheckOptions options;
                                 options.Metric = args->metric;
                                 if (!CheckJobFile(args->file, options, std::cout)) return 1;
                                 if (!args->noTime) PrintMachineTime(*args, options);
                                 return 0;
                               });
  sub->add_option("FILE", args->file, "The job file (*.nc, *.vrj)")->required();
  sub->add_flag("--metric", args->metric, "Read with a metric machine configuration (default: inch)");
  sub->add_flag("--no-time", args->noTime, "Do not run the job on the simulated controller for its machine time");
}

}  // namespace wendlar::cli
