// Runs a fuzz target's entry point over saved inputs without libFuzzer and times each one, so
// an optimised build without sanitizers can show which inputs take too long.
//   <target>_replay [--limit-ms N] [--top N] [--report-only] FILE|FOLDER...
// Prints the slowest inputs; exits 1 when one took longer than the limit (unless
// --report-only), 2 on bad usage.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

struct Timing {
  double ms = 0;
  fs::path file;
  size_t size = 0;
};

bool ReadFile(const fs::path& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The files named, and the files in the folders named (not their subfolders), in name order.
std::vector<fs::path> Inputs(const std::vector<std::string>& names) {
  std::vector<fs::path> files;
  for (const auto& name : names) {
    std::error_code ec;
    if (fs::is_directory(name, ec)) {
      std::vector<fs::path> inFolder;
      for (const auto& entry : fs::directory_iterator(name, ec)) {
        if (entry.is_regular_file(ec)) inFolder.push_back(entry.path());
      }
      std::sort(inFolder.begin(), inFolder.end());
      files.insert(files.end(), inFolder.begin(), inFolder.end());
    } else if (fs::is_regular_file(name, ec)) {
      files.emplace_back(name);
    } else {
      std::fprintf(stderr, "replay: no such file or folder: %s\n", name.c_str());
    }
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  double limitMs = 100;
  size_t top = 10;
  bool reportOnly = false;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--limit-ms" || arg == "--top") && i + 1 < argc) {
      char* end = nullptr;
      const double value = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !(value >= 0)) {
        std::fprintf(stderr, "replay: %s needs a number\n", arg.c_str());
        return 2;
      }
      if (arg == "--top") {
        top = static_cast<size_t>(value);
      } else {
        limitMs = value;
      }
    } else if (arg == "--report-only") {
      reportOnly = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "usage: %s [--limit-ms N] [--top N] [--report-only] FILE|FOLDER...\n", argv[0]);
      return 2;
    } else {
      names.push_back(arg);
    }
  }
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  const std::vector<fs::path> files = Inputs(names);
  // One empty input first, untimed: a target's one-time set-up is not the cost of an input.
  (void)LLVMFuzzerTestOneInput(nullptr, 0);

  std::vector<Timing> timings;
  timings.reserve(files.size());
  std::vector<uint8_t> bytes;
  double totalMs = 0;
  for (const auto& file : files) {
    if (!ReadFile(file, bytes)) {
      std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
      continue;
    }
    const auto start = std::chrono::steady_clock::now();
    (void)LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    timings.push_back({took.count(), file, bytes.size()});
    totalMs += took.count();
  }
  std::sort(timings.begin(), timings.end(), [](const Timing& a, const Timing& b) { return a.ms > b.ms; });
  const size_t over = static_cast<size_t>(
      std::count_if(timings.begin(), timings.end(), [&](const Timing& t) { return t.ms > limitMs; }));
  std::printf("%zu inputs, %.1f ms in all, %zu over %.0f ms\n", timings.size(), totalMs, over, limitMs);
  for (size_t i = 0; i < timings.size() && (i < top || (timings[i].ms > limitMs && !reportOnly)); ++i) {
    const Timing& t = timings[i];
    std::printf("%10.2f ms %9zu bytes  %s%s\n", t.ms, t.size, t.file.c_str(), t.ms > limitMs ? "  OVER" : "");
  }
  return over > 0 && !reportOnly ? 1 : 0;
}
