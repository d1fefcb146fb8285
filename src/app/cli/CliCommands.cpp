#include "app/cli/CliCommands.h"

#include <iostream>

namespace wendlar::cli {

HomeDir CliContext::Home() const {
  if (!homeOption.empty()) return HomeDir(homeOption);
  return HomeDir(HomeDir::DefaultFor(argv0.c_str()));
}

CommandTable::CommandTable(CLI::App& app, CliContext& context) : app_(app), context_(context) {}

CLI::App* CommandTable::Add(const std::string& name, const std::string& description, CommandRunner run) {
  CLI::App* sub = app_.add_subcommand(name, description);
  commands_.emplace_back(sub, std::move(run));
  return sub;
}

int CommandTable::Run(int argc, char** argv) {
  if (argc > 0 && context_.argv0.empty()) context_.argv0 = argv[0];
  try {
    app_.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app_.exit(e);  // --help, --version
    std::cerr << app_.get_name() << ": " << e.what() << " (see --help)\n";
    return e.get_exit_code();
  }
  for (const auto& [sub, run] : commands_) {
    if (sub->parsed()) return run(context_);
  }
  // A subcommand added straight to the App has done its work in its own callback.
  if (!app_.get_subcommands().empty()) return 0;
  std::cout << app_.help();
  return 0;
}

}  // namespace wendlar::cli
