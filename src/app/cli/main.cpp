// wendlar-cli: the core without windows.
#include <CLI/CLI.hpp>

#include "app/cli/CliCommands.h"

namespace wendlar::cli { void RegisterStatusCommand(CommandTable& commands); }
namespace wendlar::cli { void RegisterProbeCommands(CommandTable& commands); }
namespace wendlar::cli { void RegisterTravelCommand(CommandTable& commands); }

int main(int argc, char** argv) {
  CLI::App app{"Wendlar: host control program of a small CNC machine, without windows", "wendlar-cli"};
  app.set_version_flag("--version", std::string("wendlar-cli ") + WENDLAR_VERSION);
  wendlar::cli::CliContext context;
  app.add_option("--home", context.homeOption, "Program directory for settings and logs")
      ->check(CLI::ExistingDirectory);
  app.require_subcommand(0, 1);

  wendlar::cli::CommandTable commands(app, context);
  wendlar::cli::RegisterPortsCommand(commands);
  wendlar::cli::RegisterSimCommand(commands);
  wendlar::cli::RegisterCheckCommand(commands);
  wendlar::cli::RegisterRunCommand(commands);
  wendlar::cli::RegisterStatusCommand(commands);
  wendlar::cli::RegisterProbeCommands(commands);
  wendlar::cli::RegisterScriptCommand(commands);
  wendlar::cli::RegisterTravelCommand(commands);
  wendlar::cli::RegisterReplayCommand(commands);
  return commands.Run(argc, argv);
}
