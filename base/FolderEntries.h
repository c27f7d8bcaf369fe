#pragma once
// The entries of a folder that match a name pattern, as a Windows folder search finds
// them: folder and pattern both matched without regard to case.

#include <string>
#include <vector>

namespace quillet {

struct FolderEntry {
  std::string name;  // bare name, as it is spelled on disk
  bool isDirectory;
};

// `pattern` is a folder + separator + a name that may hold wildcards; a pattern that
// ends in the separator matches every entry, one without a separator searches the
// current folder. A missing folder gives no entries. Unsorted.
std::vector<FolderEntry> MatchingEntries(const std::string& pattern);

}  // namespace quillet
