#include "base/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/FolderEntries.h"
#include "base/PathResolve.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

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

bool FileExists(const std::string& path, bool alsoDirectories) {
  if (path.empty()) return false;
  // A folder text ending in the separator (the output folder) names the folder itself.
  if (path.back() == '/' && alsoDirectories) {
    std::error_code ec;
    return fs::is_directory(ResolvePathNoCase(path), ec);
  }
  for (const FolderEntry& entry : MatchingEntries(path))
    if (alsoDirectories || !entry.isDirectory) return true;
  return false;
}

bool FileHasLength(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(ResolvePathNoCase(path), ec);
}

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

std::string NotARegularFile(const std::string& path, bool blockDeviceAllowed) {
  struct stat st {};
  // stat, not lstat: a link is judged by what it leads to.
  if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISDIR(st.st_mode)) return "a folder";
  if (S_ISCHR(st.st_mode)) return "a character device";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  if (S_ISBLK(st.st_mode)) return blockDeviceAllowed ? "" : "a block device";
  return "an unknown kind of file";
}

long long FileSize(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return -1;
  auto size = fs::file_size(path, ec);
  return ec ? -1 : static_cast<long long>(size);
}

bool FileHasData(const std::string& path) {
  return FileSize(path) > 0;
}

std::optional<std::string> ReadBytes(const std::string& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data;
  char buffer[65536];
  while (data.size() < limit && in) {
    size_t want = std::min(sizeof buffer, limit - data.size());
    in.read(buffer, static_cast<std::streamsize>(want));
    data.append(buffer, static_cast<size_t>(in.gcount()));
  }
  return data;
}

std::string FileNameFromPath(const std::string& path) {
  size_t sep = path.rfind('/');
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

void AppendDebugLog(const std::string& logFolder, const std::vector<std::string>& lines) {
  // A stream that failed to open ignores the writes: a read-only folder only loses lines.
  std::ofstream log(logFolder + "/debug.log", std::ios::binary | std::ios::app);
  for (const std::string& line : lines) log << line << "\r\n";
}

void AppendDebugLog(const std::string& logFolder, const std::string& line) {
  AppendDebugLog(logFolder, std::vector<std::string>{line});
}

void DeleteFileQuietly(const std::string& path) {
  // unlink, not remove: a folder of the same name is not ours to delete.
  unlink(ResolvePathNoCase(path).c_str());
}

}  // namespace quillet
