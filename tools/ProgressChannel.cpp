#include "tools/ProgressChannel.h"

#include <stdlib.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace quillet {

ProgressChannel::ProgressChannel() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillet-progress-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return;
  close(fd);
  path_ = pattern;
}

ProgressChannel::~ProgressChannel() {
  if (path_.empty()) return;
  std::remove(path_.c_str());
  // What a tool that was stopped while it wrote left beside it.
  std::remove((path_ + ".new").c_str());
}

std::string ProgressChannel::EnvironmentEntry() const {
  return std::string(kProgressVariable) + "=" + path_;
}

std::optional<double> ProgressChannel::Read() const {
  if (path_.empty()) return std::nullopt;
  std::ifstream in(path_, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  return ParseProgressShare(text);
}

std::optional<double> ParseProgressShare(const std::string& text) {
  size_t end = text.find_first_of("\r\n");
  const std::string number = text.substr(0, end);
  double value = 0;
  auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || stop != number.data() + number.size() || number.empty())
    return std::nullopt;
  if (!(value >= 0.0 && value <= 1.0)) return std::nullopt;
  return value;
}

}  // namespace quillet
