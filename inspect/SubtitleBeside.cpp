#include "inspect/SubtitleBeside.h"

#include <filesystem>
#include <vector>

#include "base/NameMatch.h"
#include "inspect/Languages.h"
#include "sys/FileAPI.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

constexpr std::string_view kExtension = ".srt";

// The part of a subtitle file's name between the film's name and ".srt": "" for
// "film.srt", "en" for "film.en.srt"; "?" when the file is another film's.
std::string Middle(const std::string& name, const std::string& film) {
  const std::string_view stem = std::string_view(name).substr(0, name.size() - kExtension.size());
  if (stem.size() < film.size() || !EqualNoCase(stem.substr(0, film.size()), film)) return "?";
  const std::string_view rest = stem.substr(film.size());
  if (rest.empty()) return "";
  if (rest.size() < 2 || rest[0] != '.' || rest.find('.', 1) != std::string_view::npos) return "?";
  return std::string(rest.substr(1));
}

}  // namespace

std::string SubtitleBesideSource(const std::string& source, std::string_view soundLanguage) {
  const std::filesystem::path path(source);
  const std::string film = path.stem().string();
  std::string folder = path.parent_path().string();
  if (film.empty()) return "";
  if (folder.empty()) folder = ".";
  std::string firstNamed, inSoundLanguage;
  // Listed in name order: the first named file found is the first by name.
  for (const std::string& name : ListFiles(folder + kSepStr + "*" + std::string(kExtension))) {
    if (name.empty()) continue;
    const std::string middle = Middle(name, film);
    if (middle.empty()) return folder + kSepStr + name;
    const std::string language = middle == "?" ? "" : LanguageOfFileName(name);
    if (language.empty()) continue;
    if (firstNamed.empty()) firstNamed = name;
    if (inSoundLanguage.empty() && !soundLanguage.empty() && language == soundLanguage)
      inSoundLanguage = name;
  }
  const std::string& chosen = inSoundLanguage.empty() ? firstNamed : inSoundLanguage;
  return chosen.empty() ? "" : folder + kSepStr + chosen;
}

}  // namespace quillet
