#pragma once
// File listings, folder-tree deletion and the program's own folder.

#include <string>
#include <vector>

namespace quillet {

// Bare names of the files (not folders) matching a pattern such as folder + "/*.mkv",
// sorted case-insensitively. A pattern ending in the separator lists everything. No
// match (or no folder) gives one empty name, never an empty list.
std::vector<std::string> ListFiles(const std::string& pattern);

// Deletes the folder with every file (read-only ones too) and sub-folder in it. The
// first failure ends it and is thrown as std::filesystem::filesystem_error.
void DeleteFolderTree(const std::string& folder);

// The folder of the running executable (real path of /proc/self/exe), no trailing
// separator.
std::string ProgramFolderOfExecutable();

}  // namespace quillet
