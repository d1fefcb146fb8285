#include "job/JobCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/ConfigFile.h"
#include "job/Preflight.h"

namespace wendlar {

std::string UnreadableReason(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return "it is a folder";
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return std::strerror(errno != 0 ? errno : EIO);
  std::fclose(f);
  return "it could not be read";
}

ConfigState CheckConfig(const CheckOptions& options) {
  ConfigState config;
  SetDefaultConfig(config.Config);
  if (options.Metric) {
    ConvertConfigToMetric(config.Config);
    SetMetricUnits(config.Units);
  } else {
    config.Config.UnitsMode = 1;
    SetInchUnits(config.Units);
  }
  config.ToolAboveWorkNow = config.Config.Tool_above_work;
  return config;
}

bool CheckJobFile(const std::filesystem::path& path, const CheckOptions& options, std::ostream& out) {
  const ConfigState config = CheckConfig(options);
  const bool spool = IsSpoolJobFile(path);
  out << "Checking " << path.filename().string() << (spool ? " as a spooler job" : " as a G-code program")
      << (options.Metric ? ", metric" : ", inch") << " configuration\n";

  const PreflightResult result = PreflightJob(path, config, PreflightStart{});
  if (!result.Opened) {
    out << kMsgIoError << "\n";
    out << "The job cannot be read: " << path.string() << ": " << UnreadableReason(path) << "\n";
    return false;
  }
  for (const std::string& line : PreflightSummary(result, config.Units)) out << line << "\n";
  const char* what = spool ? "record " : "line ";
  out << "Messages " << result.Messages.size() << "\n";
  for (const JobRefusal& m : result.Messages) {
    out << "  ";
    if (m.Line > 0) out << what << m.Line << ": ";
    out << m.Text << "\n";
  }
  out << "Refused " << result.Refusals.size() << "\n";
  for (const std::string& line : RefusalLines(result, result.Refusals.size())) out << "  " << line << "\n";
  out << (result.Ok() ? "The job runs to its end" : "The job is refused") << "\n";
  return result.Ok();
}

}  // namespace wendlar
