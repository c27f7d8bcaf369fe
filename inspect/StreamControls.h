#pragma once
// Puts what the track report found into the window's stream controls: the audio and
// subtitle lists with their selections, the audio format and the audio track id.

#include "app/App.h"

namespace quillet {

void ShowTrackReport(App& app);

// The audio list's text for a row: what choosing it depends on, as in
// `2: ger, AAC 2.0, "Deutsch Stereo"` (number in the list from 1, language, format,
// channel layout, the track's name), marked when its format is unknown.
std::string AudioListItem(const TrackRow& row, int number);
// The row's format button (none for an unknown format) and its track id.
void SelectAudioRow(Form1& form, const TrackRow& row);

}  // namespace quillet
