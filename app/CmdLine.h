#pragma once
// The command-line argument: a Matroska file named there is converted and the program
// ends; a folder named there has its Matroska files converted.

#include <string>

#include "app/App.h"

namespace quillet {

// The argument text as one path: every double quote removed, so a quoted path and an
// unquoted path with blanks name the same file.
std::string ArgumentPath(const std::string& argumentText);
// An existing file whose name ends in ".mkv" (any case).
bool IsMatroskaFileArgument(const std::string& path);
// An existing folder.
bool IsFolderArgument(const std::string& path);

// A relative path is taken from the current folder and made absolute here.
void cmdLine(App& app, const std::string& argumentText);
void cmdlineFile(App& app, const std::string& strfile);
void cmdlineFolder(App& app, const std::string& strpath);

}  // namespace quillet
