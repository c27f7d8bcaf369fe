// Finding a path the way Windows would, without regard to case: the tool table spells
// one folder "FFMpeg" and "ffmpeg".
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "sys/FileAPI.h"
#include "sys/NameMatch.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// The entry of `folder` that equals `name` without regard to case; the first in name
// order when several do. Empty when none does.
std::string FindNoCase(const fs::path& folder, const std::string& name) {
  std::vector<std::string> matches;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (EqualNoCase(entry, name)) matches.push_back(entry);
  }
  if (matches.empty()) return "";
  return *std::min_element(matches.begin(), matches.end(), LessNoCase);
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t sep = path.find(kSep, start);
    if (sep == std::string::npos) sep = path.size();
    if (sep > start) parts.push_back(path.substr(start, sep - start));
    start = sep + 1;
  }
  return parts;
}

}  // namespace

std::string ResolvePathNoCase(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  fs::path resolved = path[0] == kSep ? fs::path(kSepStr) : fs::path();
  for (const std::string& part : Components(path)) {
    fs::path next = resolved / part;
    if (part != "." && part != ".." && !Exists(next)) {
      std::string found = FindNoCase(resolved, part);
      if (found.empty()) return path;
      next = resolved / found;
    }
    resolved = next;
  }
  std::string text = resolved.string();
  if (path.back() == kSep && (text.empty() || text.back() != kSep)) text += kSep;
  return text;
}

}  // namespace quillet
