// File and path tests shared across the program.
#include "tools/FileTests.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "sys/FileAPI.h"
#include "sys/FolderEntries.h"
#include "tools/Paths.h"

namespace quillet {

bool FileExists(const std::string& path, bool alsoDirectories) {
  if (path.empty()) return false;
  // A folder text ending in the separator (the output folder) names the folder itself.
  if (path.back() == kSep && alsoDirectories) {
    std::error_code ec;
    return std::filesystem::is_directory(ResolvePathNoCase(path), ec);
  }
  for (const FolderEntry& entry : MatchingEntries(path))
    if (alsoDirectories || !entry.isDirectory) return true;
  return false;
}

bool FileHasLength(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(ResolvePathNoCase(path), ec);
}

std::string FileNameFromPath(const std::string& path) {
  size_t sep = path.rfind(kSep);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

void DeleteFileQuietly(const std::string& path) {
  // unlink, not remove: a folder of the same name is not ours to delete.
  unlink(ResolvePathNoCase(path).c_str());
}

}  // namespace quillet
