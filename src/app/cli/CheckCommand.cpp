// `wendlar-cli check`: reads a job without a controller and reports what it would send.
#include <iostream>
#include <memory>
#include <string>

#include "app/cli/CliCommands.h"
#include "job/JobCheck.h"

namespace wendlar::cli {

namespace {

struct CheckArgs {
  std::string file;
  bool metric = false;
};

}  // namespace

// Registers "check FILE [--metric]"; the exit status is 1 when the job is refused or unreadable.
void RegisterCheckCommand(CommandTable& commands) {
  auto args = std::make_shared<CheckArgs>();
  CLI::App* sub = commands.Add("check", "Read a G-code program or spooler job without a controller and report it",
                               [args](const CliContext& context) {
                                 CheckOptions options;
                                 options.Metric = args->metric;
                                 std::string why;
                                 if (LoadTravel(context.Home(), options.Travel, &why) == TravelLoad::Refused) {
                                   std::cerr << why << "\n";
                                 }
                                 return CheckJobFile(args->file, options, std::cout) ? 0 : 1;
                               });
  sub->add_option("FILE", args->file, "The job file (*.nc, *.vrj)")->required();
  sub->add_flag("--metric", args->metric, "Read with a metric machine configuration (default: inch)");
}

}  // namespace wendlar::cli
