#pragma once
// The command line: the files named there converted in order by the road of their type,
// as the window converts them, with the options given; a folder has its Matroska files
// converted, an AVI folder its AVI files checked and repaired.

#include <optional>
#include <string>

#include "app/App.h"
#include "shell/CommandLineOptions.h"

namespace quillet {

// Start-up: the settings file, then the command line's options and sources. Returns
// the reason when the options cannot stand in the window; nothing is converted then and
// nothing is written.
std::optional<std::string> Form_Load(App& app, const CommandLine& commandLine);
// Its first half: the settings file and the options, nothing converted yet.
std::optional<std::string> LoadWithOptions(App& app, const CommandLine& commandLine);

// The sources, in order; relative names are taken from the current folder.
void cmdLine(App& app, const CommandLine& commandLine);
// One file: chosen as the file dialog chooses it (its type by its extension), inspected,
// given the per-source options, converted.
void cmdlineFile(App& app, const std::string& strfile, const CommandLine& commandLine = {});
void cmdlineFolder(App& app, const std::string& strpath, const CommandLine& commandLine = {});
// Every AVI of the folder checked, and repaired into the output folder when needed.
void cmdlineAviFolder(App& app, const std::string& strpath);

}  // namespace quillet
