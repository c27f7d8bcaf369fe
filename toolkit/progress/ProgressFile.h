#pragma once
// How a slot tells the program how far it is. The program names a file in the
// environment (QUILLET_PROGRESS=path); the slot keeps one line in it, the share done as
// a decimal from 0 to 1 ("0.4213"), replaced whole (written beside it and renamed) so a
// reader never sees half a number. The share only grows: a later, lower report (a
// second tool of the same slot starting at 0) is not written.

#include <chrono>
#include <string>

namespace quillet::toolkit {

inline constexpr const char* kProgressVariable = "QUILLET_PROGRESS";

class ProgressFile {
 public:
  // An empty path takes every report and writes nothing.
  explicit ProgressFile(std::string path) : path_(std::move(path)) {}

  // Writes the share when it is higher than the last one written and, unless the work
  // is done, no sooner than 200 ms after the last write.
  void Report(double fraction);

  // The one of this process, named by the environment.
  static ProgressFile& OfProcess();

 private:
  std::string path_;
  double written_ = -1;
  std::chrono::steady_clock::time_point lastWrite_{};
};

}  // namespace quillet::toolkit
