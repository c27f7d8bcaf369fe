#include "tools/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace quillet {

FileLock::FileLock(const std::string& path)
    : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {}

bool FileLock::TryLock() {
  if (held_ || !fd_.Valid()) return true;
  int result;
  do {
    result = flock(fd_.Get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  held_ = result == 0;
  return held_;
}

}  // namespace quillet
