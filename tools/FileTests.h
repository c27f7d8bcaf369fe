#pragma once
// File and path tests shared across the program, and the debug log.

#include <initializer_list>
#include <string>
#include <vector>

namespace quillet {

// True when the path names an existing file (or, with alsoDirectories, an existing
// folder). Wildcards ('*', '?') in the last component are honoured.
bool FileExists(const std::string& path, bool alsoDirectories);

// True when the length of the file can be read (an empty file gives true).
bool FileHasLength(const std::string& path);

// The text after the last separator; the whole path when there is none.
std::string FileNameFromPath(const std::string& path);

// Appends each line followed by CR LF to programFolder + "/debug.log". Errors are
// ignored: a read-only program folder only loses log lines.
void AppendDebugLog(const std::string& programFolder, const std::vector<std::string>& lines);
void AppendDebugLog(const std::string& programFolder, const std::string& line);

// Deletes a file, ignoring every error (a missing file is simply skipped).
void DeleteFileQuietly(const std::string& path);

}  // namespace quillet
