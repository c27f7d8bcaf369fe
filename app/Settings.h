#pragma once
// The settings file "Quillet.conf" beside the program, and component registration.

#include <string>

#include "app/App.h"

namespace quillet {

inline constexpr const char* kSettingsFileName = "Quillet.conf";

// Reads the settings file and applies it to the window in line order; without one,
// registers the two component libraries beside the program.
void LoadSettings(App& app);

// Writes the 15 lines of the settings file from the window as it stands.
void SaveSettings(App& app);

// Double-click on the window background: writes "register.bat".
void Form_DblClick(App& app);

}  // namespace quillet
