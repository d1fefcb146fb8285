// The subcommands of wendlar-cli: each lives in its own file and registers here.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

#include "core/HomeDir.h"

namespace wendlar::cli {

// What every subcommand may read once the command line is parsed.
struct CliContext {
  std::string argv0;
  std::string homeOption;  // --home DIR; empty for the default program directory

  // The program directory: --home when given, else the default for this executable.
  HomeDir Home() const;
};

// Runs a chosen subcommand; returns the process's exit code.
using CommandRunner = std::function<int(const CliContext&)>;

class CommandTable {
 public:
  CommandTable(CLI::App& app, CliContext& context);

  // Adds a subcommand; `run` is called after parsing when it was chosen. Options of the
  // subcommand are added to the returned App and stored where `run` can see them.
  CLI::App* Add(const std::string& name, const std::string& description, CommandRunner run);
  // Parses the command line and runs the chosen subcommand. Errors are one line on
  // stderr; help and version go to stdout.
  int Run(int argc, char** argv);

 private:
  CLI::App& app_;
  CliContext& context_;
  std::vector<std::pair<CLI::App*, CommandRunner>> commands_;
};

// One registration function per subcommand, each in its own file; main() calls them all.
void RegisterPortsCommand(CommandTable& commands);
void RegisterSimCommand(CommandTable& commands);
void RegisterCheckCommand(CommandTable& commands);
void RegisterRunCommand(CommandTable& commands);
void RegisterScriptCommand(CommandTable& commands);
void RegisterReplayCommand(CommandTable& commands);

}  // namespace wendlar::cli
