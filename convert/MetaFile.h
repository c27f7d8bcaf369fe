#pragma once
// The transport-stream muxer's job file "movie.meta": one global-options line, one video
// line, one audio line and at most one subtitle line, each ended by CR LF. Every line
// form any output writes is spelled here, and nowhere else.

#include <cstdint>
#include <string>

namespace quillet::meta {

// --- Global options (the MUXOPT line) ---
// The PS3 transport stream; an empty split option leaves two blanks before
// "--vbv-len=500".
std::string M2tsOptions(const std::string& split);
// The AVCHD folder; the split option, when there is one, comes last.
std::string AvchdOptions(const std::string& split);
std::string Mpeg2Options();
std::string Vc1Options();  // VC-1 from a WMV source

// --- Video lines; folder is the output folder with its separator ---
// The extracted or re-encoded "movie.h264" in the output folder.
std::string H264FromFolder(const std::string& folder, const std::string& fps);
// The source's own H.264 track, declared to the muxer as level 4.1.
std::string H264FromSource(const std::string& source, const std::string& track,
                           const std::string& fps);
// The source's own VC-1 track.
std::string Vc1FromSource(const std::string& source, const std::string& track,
                          const std::string& fps);
// The MPEG-2 recode's "movie.mpg" in the output folder.
std::string Mpeg2FromFolder(const std::string& folder, const std::string& fps);
// The VC-1 stream taken out of a WMV source, at the source's rate ("25", "23.976").
std::string Vc1FromFolder(const std::string& folder, const std::string& fps);

// --- Audio lines ---
// A track taken from a Matroska source keeps the language it has there; a file the
// program made has none, so its line names it: `language` is an ISO 639-2 code, and an
// empty one gives no "lang=" field (the muxer then lists "und").
// The encoded "movie.ac3" in the output folder.
std::string Ac3FromFolder(const std::string& folder, const std::string& language = "");
// The source's own AC3 track.
std::string Ac3FromSource(const std::string& source, const std::string& track);
// The source's track unchanged: "A_" + upper-case extension ("A_DTS", "A_MP3"...).
std::string SourceAudio(const std::string& ext, const std::string& source,
                        const std::string& track);

// --- Subtitle lines, rendered by the muxer in white Arial at the picture's size ---
struct Picture {
  int width = 0;
  int height = 0;
};
// The source's own text track, with the language shown in the subtitle list.
std::string SourceSubtitle(const std::string& source, const Picture& picture,
                           const std::string& track, const std::string& fps,
                           const std::string& language);
// The ".srt" file found beside the source. Subtitle files name their language as the
// audio lines do.
std::string SrtBesideSource(const std::string& file, const Picture& picture, const std::string& fps,
                            const std::string& language = "");
// A subtitle file the user browsed for.
std::string BrowsedSubtitle(const std::string& file, const Picture& picture, const std::string& fps,
                            const std::string& language = "");

// --- The file ---
struct Lines {
  std::string options, video, audio;
  std::string subtitle;  // written only when not empty
};
// The whole text of the job file.
std::string Text(const Lines& lines);
// Writes folder + "movie.meta" anew; false when it cannot be written.
bool Write(const std::string& folder, const Lines& lines);

// --- The size-based split option ---
// The split option for a source of `bytes`: its size in MB of 1,024,000 bytes, kept to
// four decimals and rounded to a whole number (halves to even), cut into N + 1 equal
// parts where N = MB / 4000; " --split-size=" + part + "MB ", or "" when N is 0.
std::string SizeSplitOption(int64_t bytes);
// Rounded megabytes (1,024,000 bytes) of a size, as the split rule counts them.
int64_t SplitMegabytes(int64_t bytes);

}  // namespace quillet::meta
