#pragma once
// Puts what the track report found into the window's stream controls: the audio and
// subtitle lists with their selections, the audio format and the audio track id.

#include "app/App.h"

namespace quillet {

void ShowTrackReport(App& app);

// The audio list's text for a row: its language, marked when its format is unknown.
std::string AudioListItem(const TrackRow& row);
// The row's format button (none for an unknown format) and its track id.
void SelectAudioRow(Form1& form, const TrackRow& row);

}  // namespace quillet
