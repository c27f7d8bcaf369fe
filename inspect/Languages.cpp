#include "inspect/Languages.h"

#include <array>

#include "base/Text.h"

namespace quillet {
namespace {

struct Language {
  const char* iso1;      // ISO 639-1
  const char* code;      // ISO 639-2, the bibliographic form the program writes
  const char* terminal;  // ISO 639-2 terminological form, where it differs
  const char* name;      // English name, lower case
};

constexpr std::array<Language, 40> kLanguages = {{
    {"en", "eng", "", "english"},     {"de", "ger", "deu", "german"},
    {"fr", "fre", "fra", "french"},   {"es", "spa", "", "spanish"},
    {"it", "ita", "", "italian"},     {"pt", "por", "", "portuguese"},
    {"nl", "dut", "nld", "dutch"},    {"sv", "swe", "", "swedish"},
    {"no", "nor", "", "norwegian"},   {"da", "dan", "", "danish"},
    {"fi", "fin", "", "finnish"},     {"is", "ice", "isl", "icelandic"},
    {"pl", "pol", "", "polish"},      {"cs", "cze", "ces", "czech"},
    {"sk", "slo", "slk", "slovak"},   {"hu", "hun", "", "hungarian"},
    {"ro", "rum", "ron", "romanian"}, {"el", "gre", "ell", "greek"},
    {"tr", "tur", "", "turkish"},     {"ru", "rus", "", "russian"},
    {"uk", "ukr", "", "ukrainian"},   {"bg", "bul", "", "bulgarian"},
    {"hr", "hrv", "", "croatian"},    {"sr", "srp", "", "serbian"},
    {"sl", "slv", "", "slovenian"},   {"et", "est", "", "estonian"},
    {"lv", "lav", "", "latvian"},     {"lt", "lit", "", "lithuanian"},
    {"ca", "cat", "", "catalan"},     {"he", "heb", "", "hebrew"},
    {"ar", "ara", "", "arabic"},      {"fa", "per", "fas", "persian"},
    {"hi", "hin", "", "hindi"},       {"th", "tha", "", "thai"},
    {"vi", "vie", "", "vietnamese"},  {"id", "ind", "", "indonesian"},
    {"ms", "may", "msa", "malay"},    {"zh", "chi", "zho", "chinese"},
    {"ja", "jpn", "", "japanese"},    {"ko", "kor", "", "korean"},
}};

// The table's code for a two- or three-letter code or an English name (lower case).
std::string Known(const std::string& text) {
  for (const Language& l : kLanguages)
    if (text == l.iso1 || text == l.code || text == l.terminal || text == l.name) return l.code;
  return "";
}

bool ThreeLetters(const std::string& text) {
  if (text.size() != 3) return false;
  for (char c : text)
    if (c < 'a' || c > 'z') return false;
  return true;
}

}  // namespace

std::string TrackLanguage(std::string_view text) {
  const std::string language = Lower(Trim(text));
  if (language.empty() || language == "und" || language == "undefined") return "";
  const std::string known = Known(language);
  if (!known.empty()) return known;
  return ThreeLetters(language) ? language : "";
}

std::string LanguageOfFileName(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t extension = name.rfind('.');
  if (extension == std::string_view::npos) return "";
  const std::string_view stem = name.substr(0, extension);
  const std::size_t dot = stem.rfind('.');
  if (dot == std::string_view::npos) return "";
  const std::string part = Lower(stem.substr(dot + 1));
  return part.empty() ? "" : Known(part);
}

}  // namespace quillet
