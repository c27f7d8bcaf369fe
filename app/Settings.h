#pragma once
// The settings file "Quillet.conf" beside the program, and component registration.

#include <string>

#include "app/App.h"

namespace quillet {

inline constexpr const char* kSettingsFileName = "Quillet.conf";

// Reads the settings file and applies it to the window in line order; without one,
// registers the two component libraries beside the program.
void LoadSettings(App& app);

// Writes the 15 lines of the settings file from the window as it stands; after
// KeepSettingsAsRead, the lines of the options (output folder, output kind, split,
// recode, target, priority, normalize) are written as they were read.
void SaveSettings(App& app);

// Options about to be chosen for one run (the command line without --save) must not
// become the user's settings: remembers the window's option lines as they are now.
void KeepSettingsAsRead(App& app);

// Double-click on the window background: writes "register.bat".
void Form_DblClick(App& app);

}  // namespace quillet
