// wendlar-cli: the core without windows.
#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{"Wendlar: host control program of a small CNC machine, without windows"};
  app.set_version_flag("--version", std::string("wendlar-cli ") + WENDLAR_VERSION);
  std::string home;
  app.add_option("--home", home, "Program directory for settings and logs");
  app.require_subcommand(0, 1);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
