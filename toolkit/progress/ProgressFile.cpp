#include "toolkit/progress/ProgressFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace quillet::toolkit {

void ProgressFile::Report(double fraction) {
  fraction = std::clamp(fraction, 0.0, 1.0);
  if (path_.empty() || fraction <= written_) return;
  const auto now = std::chrono::steady_clock::now();
  if (fraction < 1.0 && now - lastWrite_ < std::chrono::milliseconds(200)) return;
  char text[32];
  std::snprintf(text, sizeof text, "%.4f\n", fraction);
  const std::string temp = path_ + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return;  // the program's folder for it is gone: nobody reads
  }
  if (std::rename(temp.c_str(), path_.c_str()) != 0) return;
  written_ = fraction;
  lastWrite_ = now;
}

ProgressFile& ProgressFile::OfProcess() {
  static ProgressFile file([] {
    const char* path = std::getenv(kProgressVariable);
    return std::string(path ? path : "");
  }());
  return file;
}

}  // namespace quillet::toolkit
