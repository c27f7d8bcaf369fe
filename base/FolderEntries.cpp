#include "base/FolderEntries.h"

#include <filesystem>
#include <system_error>

#include "base/NameMatch.h"
#include "base/PathResolve.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

struct SplitPattern {
  std::string folder;
  std::string mask;
};

SplitPattern Split(const std::string& pattern) {
  size_t sep = pattern.rfind('/');
  if (sep == std::string::npos) return {".", pattern};
  std::string folder = sep == 0 ? "/" : pattern.substr(0, sep);
  std::string mask = pattern.substr(sep + 1);
  return {folder, mask.empty() ? "*" : mask};
}

// A symbolic link counts as what it points to, as a Windows search reports the target.
bool IsDirectory(const fs::directory_entry& entry) {
  std::error_code ec;
  return entry.is_directory(ec);
}

}  // namespace

std::vector<FolderEntry> MatchingEntries(const std::string& pattern) {
  SplitPattern split = Split(pattern);
  std::string folder = ResolvePathNoCase(split.folder);
  std::error_code ec;
  // A plain name that exists as written needs no folder scan.
  if (!HasWildcard(split.mask)) {
    fs::directory_entry exact(fs::path(folder) / split.mask, ec);
    if (!ec && exact.exists(ec)) return {{split.mask, IsDirectory(exact)}};
  }
  std::vector<FolderEntry> found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (MatchesWildcardNoCase(name, split.mask)) found.push_back({name, IsDirectory(*it)});
  }
  return found;
}

}  // namespace quillet
