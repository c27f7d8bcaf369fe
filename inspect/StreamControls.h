#pragma once
// Puts what the track report found into the window's stream controls: the audio and
// subtitle lists with their selections, the audio format and the audio track id.

#include "app/App.h"

namespace quillet {

void ShowTrackReport(App& app);

}  // namespace quillet
