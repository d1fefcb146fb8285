// `wendlar-cli ports`: the port table as the operator sees it.
#include <iostream>
#include <memory>
#include <vector>

#include "app/cli/CliCommands.h"
#include "link/serial/PosixSerialPorts.h"

namespace wendlar::cli {

namespace {

struct PortsOptions {
  std::vector<std::string> devicePaths;
  bool probe = false;
};

int ListPorts(const PortsOptions& options) {
  PosixSerialPorts ports;
  ports.Discover();
  for (const auto& path : options.devicePaths) ports.AddDevicePath(path);
  const auto indexes = ports.Ports();
  if (indexes.empty()) {
    std::cout << "No serial ports found\n";
    return 0;
  }
  for (int index : indexes) {
    std::cout << PortLabel(ports, index);
    if (options.probe) {
      const int result = ports.SioReset(index, 128, 128);
      std::cout << "  [" << (result < 0 ? SioErrorText(result) : "free") << "]";
      if (result >= 0) (void)ports.SioDone(index);
    }
    std::cout << "\n";
  }
  return 0;
}

}  // namespace

void RegisterPortsCommand(CommandTable& commands) {
  auto options = std::make_shared<PortsOptions>();
  CLI::App* sub = commands.Add("ports", "List the serial ports as COM n with their device paths",
                               [options](const CliContext&) { return ListPorts(*options); });
  sub->add_option("--port", options->devicePaths, "Also list this device path (may be repeated)");
  sub->add_flag("--probe", options->probe, "Try to open each port and say whether it is free or busy");
}

}  // namespace wendlar::cli
