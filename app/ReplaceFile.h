#pragma once
// Rewriting a small file the program owns (settings, batch file) so that a crash, a
// full disk or a write error in between never leaves it lost or half written.

#include <string>

namespace quillet {

// Writes the content into a temporary file beside the target and renames it over the
// target. On any failure the target is left as it was, the temporary file is removed,
// and false is returned.
bool ReplaceFileContents(const std::string& path, const std::string& content);

// The temporary file ReplaceFileContents writes before the rename: beside the target,
// named for this run of the program.
std::string ReplacementTempPath(const std::string& path);

}  // namespace quillet
