#pragma once
// Where the program keeps the files that are its own (settings, queue, logs, the run
// lock). A copied program folder keeps them beside the executable, as it always has; an
// installed one is read-only for the user, so they go to the user's XDG folders. Chosen
// once at start-up; the rest of the program only asks the layout for its folders.

#include <functional>
#include <string>

namespace quillet {

struct FileLayout {
  std::string settingsFolder;  // Quillet.conf, Quillet.queue
  std::string logFolder;       // debug.log, tools.log
  std::string lockFolder;      // quillet.lock: one conversion at a time
  // The files tools keep beside themselves (slot::kFilesVariable), in the slots' folder names.
  std::string toolFilesFolder;

  // Everything beside the executable: a copied folder, the build tree, a USB stick.
  static FileLayout InProgramFolder(const std::string& programFolder);
};

// The file the install puts into its program folder. Root may write anywhere, so a
// writable folder alone does not make an installed program portable.
inline constexpr const char* kInstalledMark = "quillet.installed";

// What the choice looks at, so that tests can give it any system.
struct LayoutFacts {
  std::string programFolder;
  bool programFolderWritable = false;
  bool installedMark = false;
  std::function<std::string(const char*)> environment;  // "" when unset
  std::string homeOfUser;                               // the password file's, for no HOME
};

// The portable layout for a writable, unmarked program folder; else the XDG folders
// ($XDG_CONFIG_HOME/quillet, $XDG_STATE_HOME/quillet, $XDG_RUNTIME_DIR/quillet or the state
// folder). Relative XDG values are ignored, as the XDG rules ask.
FileLayout ChooseFileLayout(const LayoutFacts& facts);

// The choice for this process, with the folders it names made (mode 0700) when missing.
FileLayout ChooseFileLayout(const std::string& programFolder);

}  // namespace quillet
