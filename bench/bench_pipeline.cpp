// The whole program on generated jobs: wall time, records per second and peak memory of
// `wendlar-cli run --simulator --fast`, and the host CPU per packet of a real-time run over
// the pseudo-terminal of `wendlar-cli sim`. Each run is a child process measured by wait4.
//
//   bench_pipeline [--cli PATH] [--short N] [--arcs N] [--stream N] [--skip-fast] [--skip-pty]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A program directory that runs jobs at their own feeds (Use_feed unchecked).
constexpr const char* kJobFeedSettings =
    "[port#]\r\n0\r\n[Spooler Dir]\r\n.\r\n[Gcode Dir]\r\n.\r\n[Screen Mode]\r\n2\r\n"
    "[Machine config file]\r\n\r\n[Screen Feed]\r\n20\r\n[Screen Rpm]\r\n0\r\n[CPU type]\r\n1\r\n"
    "[Top pos]\r\n0\r\n[Left pos]\r\n0\r\n[CHECK BOXS]\r\nNNYNNNNNNN\r\n[Last USB port]\r\n2\r\n"
    "[USB_Comp]\r\n2\r\n[blank]\r\n\r\n[blank]\r\n\r\n[blank]\r\n\r\n";

fs::path BenchDir() {
  fs::path dir = fs::temp_directory_path() / "wendlar-bench-pipeline";
  fs::create_directories(dir / "home");
  std::ofstream(dir / "home" / "Spooler.cfg", std::ios::binary) << kJobFeedSettings;
  return dir;
}

// A generated program is written once and kept for the next run.
fs::path Generated(const fs::path& dir, const std::string& kind, long lines,
                   const std::function<void(std::ostream&)>& write) {
  fs::path file = dir / (kind + "-" + std::to_string(lines) + ".nc");
  if (fs::exists(file)) return file;
  std::ofstream out(file, std::ios::binary);
  write(out);
  return file;
}

// Short XYZ feeds in a zigzag with a feed change every 50 lines and a comment on every tenth.
fs::path ShortMovesFile(const fs::path& dir, long lines) {
  return Generated(dir, "short", lines, [&](std::ostream& out) {
    out << "%\n(generated short moves)\nG20 G90\nG0 Z0.1\nG1 F30\n";
    char buf[128];
    for (long i = 0; i < lines; ++i) {
      const int n = std::snprintf(buf, sizeof buf, "G1 X%.4f Y%.4f Z%.4f F%d%s\n", 0.001 * static_cast<double>(i % 2000),
                                  0.01 * static_cast<double>((i / 2000) % 500), -0.01 * static_cast<double>(i % 7),
                                  30 + static_cast<int>((i / 50) % 4), i % 10 == 0 ? " (short move)" : "");
      out.write(buf, n);
    }
  });
}

// Half circles and straight joins, with a peck-drilling cycle every 200 lines.
fs::path ArcsAndCyclesFile(const fs::path& dir, long lines) {
  return Generated(dir, "arcs3", lines, [&](std::ostream& out) {
    out << "G20 G90\nG0 X0 Y0 Z0.1\nG1 Z-0.05 F40\n";
    char buf[128];
    double x = 0;
    for (long i = 0; i < lines; ++i) {
      int n;
      if (i % 200 == 199) {
        // The cycle leaves the tool over its hole at Y0.5: back to the arcs' row before the next arc.
        n = std::snprintf(buf, sizeof buf, "G83 X%.4f Y0.5 Z-0.2 R0.1 Q0.05 F20\nG80\nG0 Y0\nG1 Z-0.05 F40\n", x);
      } else if (i % 3 == 2) {
        x += 0.05;
        n = std::snprintf(buf, sizeof buf, "G1 X%.4f Y0\n", x);
      } else {
        const double ex = x + 0.1;
        n = std::snprintf(buf, sizeof buf, "%s X%.4f Y0 I0.05 J0\n", i % 2 ? "G2" : "G3", ex);
        x = ex;
      }
      // The line ends where it was written to; only then the tool goes back to the origin.
      out.write(buf, n);
      if (x > 20) x = 0, out << "G0 Z0.1\nG0 X0 Y0\nG1 Z-0.05 F40\n";
    }
  });
}

struct Child {
  pid_t pid = -1;
  int out = -1;
};

Child Spawn(const std::vector<std::string>& args) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDERR_FILENO);
    close(fds[0]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  return {pid, fds[0]};
}

// Reads until the output closes, keeping only the last `keep` bytes (progress lines pile up).
std::string Drain(int fd, size_t keep = 4096) {
  std::string text;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
    if (text.size() > 4 * keep) text.erase(0, text.size() - keep);
  }
  close(fd);
  return text;
}

// The first line of output, waiting at most timeoutMs.
std::string FirstLine(int fd, int timeoutMs) {
  std::string line;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') break;
    line += c;
  }
  return line;
}

struct Measured {
  double wallS = 0;
  double cpuS = 0;
  long peakRssKb = 0;
  int status = -1;
  std::string output;
};

Measured RunMeasured(const std::vector<std::string>& args) {
  Measured m;
  const auto start = Clock::now();
  Child child = Spawn(args);
  if (child.pid < 0) return m;
  m.output = Drain(child.out);
  int status = 0;
  rusage usage{};
  wait4(child.pid, &status, 0, &usage);
  m.wallS = std::chrono::duration<double>(Clock::now() - start).count();
  m.cpuS = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  m.peakRssKb = usage.ru_maxrss;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return m;
}

// "Completed sent/ran" of the fault history: the records the controller took.
long RecordsOf(const std::string& output) {
  const size_t at = output.rfind("Completed ");
  if (at == std::string::npos) return 0;
  return std::atol(output.c_str() + at + 10);
}

double MachineSecondsOf(const std::string& output) {
  const std::string label = "Simulated machine time: ";
  const size_t at = output.rfind(label);
  return at == std::string::npos ? 0 : std::atof(output.c_str() + at + label.size());
}

void FastRun(const std::string& cli, const fs::path& dir, const fs::path& file) {
  const Measured m =
      RunMeasured({cli, "--home", (dir / "home").string(), "run", file.string(), "--simulator", "--fast"});
  const long records = RecordsOf(m.output);
  std::printf("%-28s exit %d  wall %7.2f s  cpu %7.2f s  records %8ld  %8.0f records/s (wall)  "
              "peak RSS %6.1f MiB  machine time %.1f s\n",
              file.filename().c_str(), m.status, m.wallS, m.cpuS, records,
              m.wallS > 0 ? static_cast<double>(records) / m.wallS : 0.0, static_cast<double>(m.peakRssKb) / 1024.0,
              MachineSecondsOf(m.output));
}

// Long collinear feeds the controller finishes quickly: the run is mostly streaming.
fs::path StreamFile(const fs::path& dir, long lines) {
  return Generated(dir, "stream", lines, [&](std::ostream& out) {
    out << "G20 G90\nG0 X0 Y0 Z0\n";
    for (long i = 1; i <= lines; ++i) out << "G1 X" << (0.002 * static_cast<double>(i)) << " F80\n";
  });
}

// The machine time --fast estimates for a job.
double MachineSeconds(const std::string& cli, const fs::path& dir, const fs::path& file) {
  return MachineSecondsOf(
      RunMeasured({cli, "--home", (dir / "home").string(), "run", file.string(), "--simulator", "--fast"}).output);
}

// One real-time run over the pseudo-terminal; records 0 when it could not run.
Measured PtyRun(const std::string& cli, const fs::path& dir, const fs::path& file, long& records) {
  records = 0;
  Child server = Spawn({cli, "sim"});
  if (server.pid < 0) return {};
  const std::string path = FirstLine(server.out, 5000);
  if (path.rfind("/dev/", 0) != 0) {
    std::printf("pty: the simulated controller gave no device (%s)\n", path.c_str());
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
    return {};
  }
  const Measured m = RunMeasured({cli, "--home", (dir / "home").string(), "run", file.string(), "--port", path});
  kill(server.pid, SIGINT);
  waitpid(server.pid, nullptr, 0);
  close(server.out);
  records = RecordsOf(m.output);
  std::printf("pty %-24s exit %d  wall %7.2f s  cpu %6.3f s  records %ld  peak RSS %.1f MiB\n",
              file.filename().c_str(), m.status, m.wallS, m.cpuS, records, static_cast<double>(m.peakRssKb) / 1024.0);
  return m;
}

// The connection's speed tests burn CPU by design and the host polls while the machine
// runs, so the cost of streaming is the difference between a long job and a short one that
// dwells for the rest of the long one's machine time.
void PtyPerRecord(const std::string& cli, const fs::path& dir, long lines) {
  const fs::path longFile = StreamFile(dir, lines);
  const fs::path fewFile = dir / "stream-few-dwell.nc";
  {
    const double dwellS = MachineSeconds(cli, dir, longFile) - MachineSeconds(cli, dir, StreamFile(dir, 20));
    std::ifstream in(StreamFile(dir, 20), std::ios::binary);
    std::ofstream out(fewFile, std::ios::binary);
    out << in.rdbuf() << "G4 P" << std::max(dwellS, 0.0) << "\n";
  }
  long shortRecords = 0, longRecords = 0;
  const Measured few = PtyRun(cli, dir, fewFile, shortRecords);
  const Measured many = PtyRun(cli, dir, longFile, longRecords);
  const long extra = longRecords - shortRecords;
  if (extra <= 0) return;
  const double perRecordUs = (many.cpuS - few.cpuS) * 1e6 / static_cast<double>(extra);
  // Every eleven records carry three status requests of their own while streaming.
  std::printf("pty streaming: %.1f us host CPU per record, %.1f us per line on the wire\n", perRecordUs,
              perRecordUs * 11.0 / 14.0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string cli;
  long shortLines = 1000000, arcLines = 200000, streamLines = 3000;
  bool fast = true, pty = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--cli" && more) cli = argv[++i];
    else if (a == "--short" && more) shortLines = std::atol(argv[++i]);
    else if (a == "--arcs" && more) arcLines = std::atol(argv[++i]);
    else if (a == "--stream" && more) streamLines = std::atol(argv[++i]);
    else if (a == "--skip-fast") fast = false;
    else if (a == "--skip-pty") pty = false;
    else {
      std::fprintf(stderr, "usage: bench_pipeline [--cli PATH] [--short N] [--arcs N] [--stream N] [--skip-fast] [--skip-pty]\n");
      return 2;
    }
  }
  if (cli.empty()) {
    // Beside this program in the build tree.
    cli = (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "app" / "wendlar-cli").string();
  }
  if (!fs::exists(cli)) {
    std::fprintf(stderr, "bench_pipeline: no wendlar-cli at %s (give --cli)\n", cli.c_str());
    return 2;
  }
  const fs::path dir = BenchDir();
  if (fast) {
    if (shortLines > 0) FastRun(cli, dir, ShortMovesFile(dir, shortLines));
    if (arcLines > 0) FastRun(cli, dir, ArcsAndCyclesFile(dir, arcLines));
  }
  if (pty && streamLines > 0) PtyPerRecord(cli, dir, streamLines);
  return 0;
}
