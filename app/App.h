#pragma once
// The running program: the ports it was handed, the window model, the track report
// and the run-kind flags. Every procedure of the program works on one App.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/FolderForm.h"
#include "app/Form1.h"
#include "inspect/TrackReport.h"
#include "sys/FileLayout.h"

namespace quillet {

class ToolRunner;
class Ui;
class Power;
class Components;
class MediaGraph;
class RunCleanup;

// The ports that replace the platform, the program folder and where the program's own
// files go. Handed down, never global.
struct Context {
  std::string programFolder;  // folder of the executable and its tools, no trailing separator
  ToolRunner& runner;
  Ui& ui;
  Power& power;
  Components& components;
  MediaGraph& media;
  FileLayout files = FileLayout::InProgramFolder(programFolder);
};

struct App {
  explicit App(Context& context);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  Context& ctx;
  Form1 form;
  FolderForm frmFolder;  // the "Folder" button's choice of MKV or AVI folder
  TrackReport report;
  bool bFolderMode = false;   // a folder run is going on, or was the last kind of run
  bool bCommandLine = false;  // the program was started with an argument
  // Every conversion of this run that ended with its success text / at all; the
  // command-line run turns them into the exit status.
  int conversionsStarted = 0;
  int conversionsSucceeded = 0;
  // A stop unwound a conversion or an inspection: the run ends with the stop's status. A
  // stop that came after the last conversion had ended leaves its result standing.
  bool stopped = false;
  // Set by a command-line folder run that had nothing to convert and refused nothing
  // ("No MKV files found in ..."): such a run succeeded, and the text says why.
  std::string nothingToConvert;
  // "--priority normal": the tools run at the program's own priority for this run. The
  // window offers only Low and High, so this is no control and never saved.
  bool normalPriority = false;
  // The settings lines as read at start-up, when the command line chose options for this
  // run only: the settings file gets these lines for the options (see SaveSettings).
  std::optional<std::vector<std::string>> settingsAsRead;
  // Sources of this many thousand bytes or more are split when asked; the players' file
  // size limit. Tests set a small one to split small films.
  int32_t splitThreshold = 4190000;
  // What a stop must undo, while a conversion runs (convert/RunCleanup.h); else null.
  RunCleanup* cleanup = nullptr;
};

}  // namespace quillet
