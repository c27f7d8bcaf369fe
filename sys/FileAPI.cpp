// Exact 64-bit file sizes through an open handle.
#include "sys/FileAPI.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillet {
namespace {

int OpenForReading(const std::string& path) {
  // Reading is all a size needs: asking for write access too would make read-only and
  // busy files look missing. O_NONBLOCK keeps a FIFO from hanging the open.
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

void GetFileSize64(const std::string& path, int& handle, int64_t& size) {
  size = 0;
  handle = OpenForReading(ResolvePathNoCase(path));
  if (handle < 0) {
    handle = kInvalidFileHandle;
    return;
  }
  struct stat st {};
  // Only files have a length; Windows refuses to open a folder this way too.
  if (fstat(handle, &st) != 0 || !S_ISREG(st.st_mode)) {
    CloseFile(handle);
    handle = kInvalidFileHandle;
    return;
  }
  size = static_cast<int64_t>(st.st_size);
}

void CloseFile(int handle) {
  // Not retried on EINTR: on Linux the descriptor is released whatever close returns.
  if (handle >= 0) close(handle);
}

int64_t FileSize64(const std::string& path) {
  int handle;
  int64_t size;
  GetFileSize64(path, handle, size);
  CloseFile(handle);
  return size;
}

}  // namespace quillet
