#pragma once
// The subtitle file a user keeps beside a film: "film.srt", or one named with its
// language, "film.en.srt", "film.eng.srt", "film.English.srt". The window, the command
// line and folder runs all take the file this finds, so they carry the same subtitles.

#include <string>
#include <string_view>

namespace quillet {

// The path of the subtitle file beside `source` (names compared without regard to case,
// as Windows does): "film.srt" when there is one, else among the files named with a
// language the one in `soundLanguage` (an ISO 639-2 code, may be empty), else the first
// of them by name. "" when there is none.
std::string SubtitleBesideSource(const std::string& source, std::string_view soundLanguage);

}  // namespace quillet
