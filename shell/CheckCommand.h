#pragma once
// "quillet --check [--json] [--player NAME]... PATH...": the pre-flight report on the
// command line. Runs without a window, with or without a display, and converts nothing.

#include <ostream>
#include <string>
#include <vector>

#include "check/PlayerLimits.h"
#include "sys/FileLayout.h"

namespace quillet {

class ToolRunner;
struct Context;

struct CheckRequest {
  bool json = false;
  std::vector<Player> players;     // all four when none was named
  std::vector<std::string> paths;  // films and folders, as given
};

// True when the command line asks for the report (its first argument is "--check").
bool IsCheckCommand(int argc, const char* const* argv);

// The arguments after "--check". False, with `error` saying why, for an unknown option, a
// --player without a known name, or no path at all.
bool ParseCheckArguments(const std::vector<std::string>& args, CheckRequest& request,
                         std::string& error);

// The films a path names: a film itself, or the films of a folder (not its sub-folders),
// sorted by name without case. False for a file that is no film of a kind checked here.
bool FilmsOfPath(const std::string& path, std::vector<std::string>& films);

// Writes the report to `out` and returns the exit status: 0 every film plays as it is on
// every player asked for, 1 some film needs work, 2 bad arguments, 3 a film cannot be read.
int RunCheck(Context& ctx, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err);

// The whole command with ports of its own: the tool runner given, a console for the
// rest. A check shuts nothing down, registers nothing and builds no media graph.
int RunCheckCommand(const std::string& programFolder, const FileLayout& files, ToolRunner& runner,
                    const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

inline constexpr const char* kCheckUsage =
    "usage: quillet --check [--json] [--player ps3|ps3-stereo|xbox360|bluray]... PATH...";

}  // namespace quillet
