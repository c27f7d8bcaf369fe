#pragma once
// File tests shared by the program and the toolkit: existence, sizes, the first bytes,
// and the debug log. Paths are found without regard to case where the name says so.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

// True when the path names an existing file (or, with alsoDirectories, an existing
// folder), found without regard to case. Wildcards ('*', '?') in the last component are
// honoured.
bool FileExists(const std::string& path, bool alsoDirectories);

// True when the length of the file can be read (an empty file gives true).
bool FileHasLength(const std::string& path);

inline constexpr int kInvalidFileHandle = -1;

// Opens the file (found without regard to case) for reading and gives its exact 64-bit
// size. The handle stays open until CloseFile. A file that cannot be opened (a folder,
// an unreadable file) gives the invalid handle and size 0.
void GetFileSize64(const std::string& path, int& handle, int64_t& size);
void CloseFile(int handle);

// Size of a file in bytes, 0 when it cannot be opened (GetFileSize64 + CloseFile).
int64_t FileSize64(const std::string& path);

// What the path names when it is neither a regular file nor a link to one: "a FIFO", "a
// folder", "a character device", "a socket" or, unless allowed, "a block device". "" for a
// regular file and for a path that names nothing (its absence is reported elsewhere). A
// tool opening a FIFO waits for a writer for ever, and a device never ends.
std::string NotARegularFile(const std::string& path, bool blockDeviceAllowed = false);

// Size of the regular file at exactly this path, readable or not; -1 when there is none.
long long FileSize(const std::string& path);
// A regular file with at least one byte.
bool FileHasData(const std::string& path);

// Up to limit bytes of a file; nullopt when it cannot be read.
std::optional<std::string> ReadBytes(const std::string& path, size_t limit = SIZE_MAX);

// The text after the last separator; the whole path when there is none.
std::string FileNameFromPath(const std::string& path);

// Appends each line followed by CR LF to logFolder + "/debug.log". Errors are ignored: a
// read-only folder only loses log lines.
void AppendDebugLog(const std::string& logFolder, const std::vector<std::string>& lines);
void AppendDebugLog(const std::string& logFolder, const std::string& line);

// Deletes a file, ignoring every error (a missing file is simply skipped).
void DeleteFileQuietly(const std::string& path);

}  // namespace quillet
