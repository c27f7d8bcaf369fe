// The files of a folder that match a pattern, in the order NTFS lists them.
#include <algorithm>

#include "base/FolderEntries.h"
#include "base/NameMatch.h"
#include "sys/FileAPI.h"

namespace quillet {

std::vector<std::string> ListFiles(const std::string& pattern) {
  std::vector<std::string> names;
  for (const FolderEntry& entry : MatchingEntries(pattern))
    if (!entry.isDirectory) names.push_back(entry.name);
  std::sort(names.begin(), names.end(), LessNoCase);
  // Callers read element 0 without checking the size: no match is one empty name.
  if (names.empty()) names.push_back("");
  return names;
}

}  // namespace quillet
