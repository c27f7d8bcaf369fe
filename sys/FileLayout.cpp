#include "sys/FileLayout.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quillet {
namespace {

// An XDG folder from its variable when that holds an absolute path, else home + fallback.
std::string XdgFolder(const LayoutFacts& facts, const char* variable, const std::string& home,
                      const char* fallback) {
  const std::string value = facts.environment(variable);
  if (!value.empty() && value.front() == '/') return value + "/quillet";
  return home + fallback + "/quillet";
}

std::string HomeFolder(const LayoutFacts& facts) {
  const std::string home = facts.environment("HOME");
  return !home.empty() && home.front() == '/' ? home : facts.homeOfUser;
}

std::string HomeOfUser() {
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// mkdir -p, the new folders for this user alone. Errors are left to the writes that
// follow, which say what they could not write.
void MakeFolder(const std::string& folder) {
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return;
  const mode_t before = umask(077);
  std::filesystem::create_directories(folder, ec);
  umask(before);
}

}  // namespace

FileLayout FileLayout::InProgramFolder(const std::string& programFolder) {
  return {programFolder, programFolder, programFolder, programFolder};
}

FileLayout ChooseFileLayout(const LayoutFacts& facts) {
  if (facts.programFolderWritable && !facts.installedMark)
    return FileLayout::InProgramFolder(facts.programFolder);
  const std::string home = HomeFolder(facts);
  // Without any home there is no user folder to use: the program folder is the only place.
  if (home.empty()) return FileLayout::InProgramFolder(facts.programFolder);
  FileLayout layout;
  layout.settingsFolder = XdgFolder(facts, "XDG_CONFIG_HOME", home, "/.config");
  layout.logFolder = XdgFolder(facts, "XDG_STATE_HOME", home, "/.local/state");
  const std::string runtime = facts.environment("XDG_RUNTIME_DIR");
  layout.lockFolder =
      !runtime.empty() && runtime.front() == '/' ? runtime + "/quillet" : layout.logFolder;
  // They are a run's working files, small, and this user's alone.
  layout.toolFilesFolder = layout.lockFolder;
  return layout;
}

FileLayout ChooseFileLayout(const std::string& programFolder) {
  std::error_code ec;
  LayoutFacts facts;
  facts.programFolder = programFolder;
  facts.programFolderWritable = access(programFolder.c_str(), W_OK) == 0;
  facts.installedMark =
      std::filesystem::exists(std::filesystem::path(programFolder) / kInstalledMark, ec);
  facts.environment = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value != nullptr ? value : "");
  };
  facts.homeOfUser = HomeOfUser();
  FileLayout layout = ChooseFileLayout(facts);
  for (const std::string* folder :
       {&layout.settingsFolder, &layout.logFolder, &layout.lockFolder, &layout.toolFilesFolder})
    MakeFolder(*folder);
  return layout;
}

}  // namespace quillet
