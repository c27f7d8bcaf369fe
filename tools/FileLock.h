#pragma once
// An exclusive lock on a file (flock), held until the object goes. The kernel lets go of
// it when the program ends, however it ends, so a run that died never blocks the next
// one. The descriptor is close-on-exec: a tool that inherited it would hold the lock
// after we are gone.

#include <string>

#include "base/UniqueFd.h"

namespace quillet {

class FileLock {
 public:
  // kKept leaves the file for the next run (the program folder's lock); kRemovedWhenDone
  // deletes it when the holder lets go, so a folder of the user's keeps no file of ours.
  enum class Lifetime { kKept, kRemovedWhenDone };

  // Opens (and if need be creates) the file, the one removed when done at the first
  // TryLock; takes no lock yet.
  explicit FileLock(const std::string& path, Lifetime lifetime = Lifetime::kKept);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock if nobody holds it. True when we hold it now, and also when the file
  // cannot be opened (a folder we may not write to): then there is nothing to share.
  bool TryLock();

 private:
  bool StillNamed() const;

  std::string path_;
  Lifetime lifetime_;
  UniqueFd fd_;
  bool held_ = false;
};

}  // namespace quillet
