#include "tools/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

namespace quillet {
namespace {

int OpenLockFile(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

}  // namespace

// A file removed when done is made only when the lock is tried: a run stopped before
// that would leave it behind.
FileLock::FileLock(const std::string& path, Lifetime lifetime)
    : path_(path),
      lifetime_(lifetime),
      fd_(lifetime == Lifetime::kKept ? OpenLockFile(path) : -1) {}

FileLock::~FileLock() {
  // Removed while still held, so nobody takes the lock of a file that is going.
  if (held_ && lifetime_ == Lifetime::kRemovedWhenDone) unlink(path_.c_str());
}

// The file we locked is the one the path names: a holder that let go may have removed it
// after we opened it, and a lock on a file that has no name any more keeps nobody out.
bool FileLock::StillNamed() const {
  struct stat opened {
  }, named{};
  return fstat(fd_.Get(), &opened) == 0 && stat(path_.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool FileLock::TryLock() {
  if (held_) return true;
  if (!fd_.Valid()) fd_ = UniqueFd(OpenLockFile(path_));
  if (!fd_.Valid()) return true;
  int result;
  do {
    result = flock(fd_.Get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) return false;
  if (lifetime_ == Lifetime::kRemovedWhenDone && !StillNamed()) {
    fd_.Reset();  // the next try opens the file that is there now
    return TryLock();
  }
  held_ = true;
  return true;
}

}  // namespace quillet
