#include "console/DebugFile.h"

namespace wendlar {

void DebugFile::Create() {
  Close();
  out_.open(home_.Resolve(kDebugFileName), std::ios::binary | std::ios::trunc);
}

void DebugFile::Close() {
  if (out_.is_open()) out_.close();
}

void DebugFile::WriteDebugLine(std::string_view line) {
  if (!out_.is_open()) return;
  out_ << line << "\r\n";
  out_.flush();
}

}  // namespace wendlar
