#include "FuzzRig.h"

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <streambuf>
#include <unistd.h>

#include "core/HomeDir.h"
#include "job/JobCheck.h"

namespace wendlar::fuzz {

namespace {
int counter_ = 0;  // folders of one process: a target may hold a rig and a scratch folder
std::vector<std::filesystem::path>* made_ = nullptr;

void RemoveScratch() {
  std::error_code ec;
  for (const auto& dir : *made_) std::filesystem::remove_all(dir, ec);
}
}  // namespace

std::filesystem::path FreshScratchDir() {
  std::error_code ec;
  // Memory-backed when the machine has it: every save syncs its file, and disks are slow.
  const std::filesystem::path shm = "/dev/shm";
  const auto base = std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path(ec);
  auto dir = base / ("wendlar-fuzz-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  if (made_ == nullptr) {
    made_ = new std::vector<std::filesystem::path>;
    std::atexit(RemoveScratch);
  }
  made_->push_back(dir);
  return dir;
}

std::filesystem::path WriteInput(const std::filesystem::path& dir, std::string_view name, const uint8_t* data,
                                 size_t size) {
  auto path = dir / std::string(name);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

void CheckJobInput(const uint8_t* data, size_t size, std::string_view name) {
  struct NullBuffer : std::streambuf {
    int overflow(int c) override { return c; }
  };
  static const auto dir = FreshScratchDir();
  const auto path = WriteInput(dir, name, data, size);
  NullBuffer nothing;
  std::ostream out(&nothing);
  (void)CheckJobFile(path, {.Metric = false}, out);
  (void)CheckJobFile(path, {.Metric = true}, out);
}

std::vector<std::string> InputLines(const uint8_t* data, size_t size) {
  return SplitLines(std::string_view(reinterpret_cast<const char*>(data), size));
}

FuzzSystem::FuzzSystem() : dir(FreshScratchDir()) {
  port.Attach(kFirstDevicePort, sim);
  sys = std::make_unique<System>(loop, port, prompts, HomeDir(dir), out);
  sys->errors = &errors;
  sys->console.StartClock();
}

FuzzSystem::~FuzzSystem() {
  sys.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  if (made_ != nullptr) std::erase(*made_, dir);
}

}  // namespace wendlar::fuzz
