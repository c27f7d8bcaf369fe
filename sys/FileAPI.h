#pragma once
// Large-file sizes, file listings and folder-tree deletion.

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

inline constexpr int kInvalidFileHandle = -1;

// Opens the file for reading (sharing reads and writes) and gives its exact 64-bit size.
// The handle stays open until CloseFile. A file that cannot be opened gives the invalid
// handle and size 0.
void GetFileSize64(const std::string& path, int& handle, int64_t& size);
void CloseFile(int handle);

// Size of a file in bytes, 0 when it cannot be opened (GetFileSize64 + CloseFile).
int64_t FileSize64(const std::string& path);

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

// Resolves a path that does not exist as written by matching each component without
// regard to case, as Windows does. Returns the path unchanged when nothing matches.
std::string ResolvePathNoCase(const std::string& path);

}  // namespace quillet
