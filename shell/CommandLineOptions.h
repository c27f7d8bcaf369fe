#pragma once
// The command line of a script: the sources, and the window's options chosen without
// the settings file. Every option is one row of one table, which the parser, the help
// text and the application to the window all read.

#include <optional>
#include <string>
#include <vector>

#include "app/App.h"

namespace quillet {

struct OptionRow;

// One option as given: its row and its value ("" for a switch).
struct GivenOption {
  const OptionRow* row = nullptr;
  std::string value;
};

struct CommandLine {
  std::vector<std::string> sources;  // files and folders, as given
  std::string aviFolder;             // --avi-folder DIR
  std::vector<GivenOption> options;  // in the order they are applied to the window
  bool save = false;                 // --save: the options go into the settings file
  bool verbose = false;              // --verbose: the tools' own words on standard error
  bool help = false;
  bool version = false;
  std::string error;  // a wrong option or value: one line saying which and why

  bool Empty() const { return sources.empty() && aviFolder.empty(); }
  // --audio N, 0 when not given.
  int AudioTrack() const;
};

// Splits argv[1..] into sources and options. Options may stand anywhere before a "--";
// everything after it is a source. Without "--", arguments that are not sources each but
// name one file when joined by blanks are that one file (an unquoted name with blanks,
// as the program always took it); double quotes around such a name are dropped.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
CommandLine ParseCommandLine(int argc, const char* const* argv);

// Applies the options to the window after the settings file was read, as clicks do, in
// the order a user would click them (target, recode, output kind, the rest); returns an
// error text when an option cannot stand in the window as the others leave it (a control
// the window disables, or a tick another option's rule clears). --subs and --audio are
// left for ApplySourceOptions.
std::optional<std::string> ApplyOptions(App& app, const CommandLine& commandLine);

// After a source's inspection: the subtitle file and the audio track given. False when
// the source has no such audio track.
bool ApplySourceOptions(App& app, const CommandLine& commandLine);

// After a source's inspection: the Nth audio track chosen as in the audio list. False
// when the source has fewer tracks (the list keeps the inspection's choice).
bool ApplyAudioChoice(App& app, int track);

// "quillet 0.24" and the help text listing every option.
std::string VersionText();
std::string HelpText();
// The usage line printed after a wrong argument.
std::string UsageLine();

}  // namespace quillet
