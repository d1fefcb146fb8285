#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace wendlar::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "wendlar-test-XXXXXX").string();
  char* made = ::mkdtemp(pattern.data());
  path_ = made != nullptr ? fs::path(made) : fs::temp_directory_path();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::ofstream out(path_ / name, std::ios::binary);
  out << content;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempDir::Exists(const std::string& name) const { return fs::exists(path_ / name); }

fs::path CorpusDir() {
  const char* source = std::getenv("WENDLAR_SOURCE_DIR");
  fs::path root = source != nullptr ? fs::path(source) : fs::current_path();
  fs::path corpus = root.parent_path() / "shared" / "corpus" / "gcode";
  std::error_code ec;
  return fs::is_directory(corpus, ec) ? corpus : fs::path();
}

}  // namespace wendlar::testing
