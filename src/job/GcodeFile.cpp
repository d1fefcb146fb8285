#include "job/GcodeFile.h"

#include <cstring>

namespace wendlar {

namespace {
constexpr size_t kChunk = 1 << 16;
}

GcodeLineSource::GcodeLineSource(std::istream& in) : in_(&in), buf_(kChunk) {}

GcodeLineSource::GcodeLineSource(const std::filesystem::path& path) : buf_(kChunk) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return;
  file_ = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (*file_) in_ = file_.get();
}

bool GcodeLineSource::Fill() {
  if (eof_ || in_ == nullptr) return false;
  in_->read(buf_.data(), static_cast<std::streamsize>(buf_.size()));
  end_ = static_cast<size_t>(in_->gcount());
  pos_ = 0;
  if (end_ == 0) eof_ = true;
  return end_ > 0;
}

namespace {

// Appends [p, e) without its control characters; a whole run of text at a time.
void AppendPrintable(std::string& text, const char* p, const char* e) {
  while (p < e) {
    const char* run = p;
    while (p < e && static_cast<unsigned char>(*p) > 31) ++p;
    text.append(run, static_cast<size_t>(p - run));
    while (p < e && static_cast<unsigned char>(*p) <= 31) ++p;
  }
}

}  // namespace

bool GcodeLineSource::ReadLine(std::string& text) {
  text.clear();
  bool any = false;
  for (;;) {
    if (pos_ >= end_ && !Fill()) {
      if (any) ++lineNumber_;
      return any;
    }
    any = true;
    const char* p = buf_.data() + pos_;
    const char* e = buf_.data() + end_;
    const char* feed = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(e - p)));
    AppendPrintable(text, p, feed != nullptr ? feed : e);
    if (feed != nullptr) {
      pos_ = static_cast<size_t>(feed - buf_.data()) + 1;
      ++lineNumber_;
      return true;
    }
    pos_ = end_;
  }
}

}  // namespace wendlar
