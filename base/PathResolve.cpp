#include "base/PathResolve.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/NameMatch.h"

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
    size_t sep = path.find('/', start);
    if (sep == std::string::npos) sep = path.size();
    if (sep > start) parts.push_back(path.substr(start, sep - start));
    start = sep + 1;
  }
  return parts;
}

std::string MatchComponents(const std::string& path) {
  if (path.empty() || Exists(path)) return path;
  fs::path resolved = path[0] == '/' ? fs::path("/") : fs::path();
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
  if (path.back() == '/' && (text.empty() || text.back() != '/')) text += '/';
  return text;
}

std::string DropTrailingBlanksAndDots(std::string name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  return name;
}

}  // namespace

std::string ResolvePathNoCase(const std::string& path, bool ignoreTrailingBlanksAndDots) {
  std::string resolved = MatchComponents(path);
  if (!ignoreTrailingBlanksAndDots || Exists(resolved)) return resolved;
  const fs::path p(path);
  const std::string trimmed = DropTrailingBlanksAndDots(p.filename().string());
  if (trimmed.empty() || trimmed == p.filename().string()) return path;
  const std::string shorter = (p.parent_path() / trimmed).string();
  resolved = MatchComponents(shorter);
  return Exists(resolved) ? resolved : path;
}

std::string LocateInput(const std::string& path) {
  return ResolvePathNoCase(path, true);
}

std::string LocateOutput(const std::string& path) {
  const fs::path p(path);
  std::string name = DropTrailingBlanksAndDots(p.filename().string());
  if (name.empty()) name = p.filename().string();
  const fs::path folder = p.parent_path();
  const std::string located = folder.empty() ? std::string() : LocateInput(folder.string());
  const fs::path target = located.empty() ? fs::path(name) : fs::path(located) / name;
  return MatchComponents(target.string());
}

}  // namespace quillet
