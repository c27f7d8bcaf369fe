#pragma once
// The roads of the sources that are not taken apart like Matroska files: a WMV (VC-1)
// film authored as an AVCHD folder, and an AVI checked for what the consoles cannot play
// and repaired. Both run from the "Convert" button; the folder runs call the AVI check
// and the video repair of one file directly.

#include <string>

#include "app/App.h"

namespace quillet {

// --- WMV to AVCHD ---

// The whole WMV road for strFullname: VC-1 stream, WAV, AC3, job file and authoring of
// the folder named after the source in the output folder. Ends with "Conversion done."
// only when the folder holds its index and a clip with data; otherwise a box names what
// is missing and the progress text is "Conversion error.".
void WmvToAvchd(App& app);

// Decodes the WMA sound of `source` through the media graph into folder + "movie.wav",
// showing the bytes written every two seconds. The wait ends when the file stops growing,
// when the graph reports its end or an error, or when no byte arrived for 60 s; the last
// two are said in the progress text and the debug log. A graph that cannot be built
// leaves a debug-log line naming what is missing and writes nothing.
void DecodeWmaToWav(App& app, const std::string& source, const std::string& folder);

// How long the WAV may stay without a new byte before the decoding is given up.
inline constexpr int kWavQuietLimitMs = 60000;
inline constexpr int kWavPollMs = 2000;

// --- AVI check and repair (one file) ---

// True when the AVI can be played unchanged: a stream copy of its first 10 MB into
// folder + "test.avi" is read by the information tool at infoTool, and neither quarter-
// pixel motion nor global motion compensation is used, or the video is DivX 3. The tool
// is asked at most kAviInfoTries times for a report; without one the file counts as not
// compatible and the debug log says why. test.avi is deleted before and after.
bool CheckAvi(App& app, const std::string& aviPath, const std::string& infoTool,
              const std::string& folder);
inline constexpr int kAviInfoTries = 3;

// Re-encodes the video of strFullname to plain Xvid (no QPel, no GMC) of about the
// source's size into the output folder as "QL_" + its name, burning in subtitles when
// "Embed subs" is ticked. Judged by the QL_ file: "Conversion done." or a box naming it and
// "Conversion error." (in a folder run the debug log takes the box's text). Shuts the
// machine down when asked, except in a folder run.
void RecodeAviVideo(App& app);

// The same for a playable AVI: only its sound is re-encoded, to MP3 at 160 kbit/s and
// 48 kHz; the video is copied.
void RecodeAviAudio(App& app);

// The "Convert" button's choice for an AVI source: the video repair when subtitles are to
// be burnt in; otherwise the check decides between the video and the audio repair.
void ConvertAvi(App& app);

}  // namespace quillet
