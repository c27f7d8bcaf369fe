#pragma once
// The languages the program names tracks by. Blu-ray folders and transport streams list
// a track's language as an ISO 639-2 code; Matroska files keep the bibliographic form
// ("ger", "fre"), and so does the muxer, which takes any three-letter code as it is. One
// table holds the common languages with their two-letter ISO 639-1 code, both ISO 639-2
// forms and their English name.

#include <string>
#include <string_view>

namespace quillet {

// The ISO 639-2 code (bibliographic form) of a track language as a report gives it:
// "ger", "deu", "de" or "German", any case; another three-letter code as it is. "" when
// it names no language ("und", "undefined", empty) or none the program knows.
std::string TrackLanguage(std::string_view text);

// The language a subtitle file's name gives just before its extension: "Film.en.srt",
// "Film.eng.srt", "Film.English.srt" (any case). "" when that part is no language of the
// table.
std::string LanguageOfFileName(std::string_view path);

}  // namespace quillet
