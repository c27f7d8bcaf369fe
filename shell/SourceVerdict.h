#pragma once
// The pre-flight verdict in the window: after a source is chosen, the verdict for the
// player the options aim at goes into the source box's tool tip and the debug log. No
// option of the window changes.

#include <string>

#include "app/App.h"
#include "check/PlayerLimits.h"

namespace quillet {

// The player the window's options aim at: AVCHD output for a Blu-ray player, else the
// "Target:" list as the "Convert" button reads it (PS3 for item 0, PS3 stereo for item 2,
// the Xbox 360 otherwise).
Player ChosenPlayer(const Form1& form);

// Inspects the source in txtFile and shows the verdict for the chosen player.
void ShowSourceVerdict(App& app);

// "File": the file dialog, then the verdict when a source was chosen.
void FileButton_Click(App& app);

}  // namespace quillet
