// Where the program keeps its own files: beside a copied program folder, else in the
// user's XDG folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "sys/FileLayout.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

struct LayoutCase {
  const char* what;
  bool writable;
  bool marked;
  std::map<std::string, std::string> environment;
  const char* homeOfUser;
  FileLayout expected;
};

TEST(FileLayoutTest, PortableBesideAWritableFolderElseTheXdgFolders) {
  const std::string c = "/home/u/.config/quillet", s = "/home/u/.local/state/quillet";
  const LayoutCase cases[] = {
      {"a copied folder", true, false, {{"HOME", "/home/u"}}, "", {"/p", "/p", "/p", "/p"}},
      {"installed", false, false, {{"HOME", "/home/u"}}, "", {c, s, s, s}},
      {"root on an installed folder", true, true, {{"HOME", "/home/u"}}, "", {c, s, s, s}},
      {"XDG folders set",
       false,
       false,
       {{"HOME", "/home/u"},
        {"XDG_CONFIG_HOME", "/c"},
        {"XDG_STATE_HOME", "/s"},
        {"XDG_RUNTIME_DIR", "/run/user/7"}},
       "",
       {"/c/quillet", "/s/quillet", "/run/user/7/quillet", "/run/user/7/quillet"}},
      {"relative XDG values",
       false,
       false,
       {{"HOME", "/home/u"},
        {"XDG_CONFIG_HOME", "c"},
        {"XDG_STATE_HOME", "s"},
        {"XDG_RUNTIME_DIR", "r"}},
       "",
       {c, s, s, s}},
      {"no HOME", false, false, {}, "/home/u", {c, s, s, s}},
      {"no home at all", false, false, {}, "", {"/p", "/p", "/p", "/p"}},
  };
  for (const LayoutCase& t : cases) {
    SCOPED_TRACE(t.what);
    LayoutFacts facts{"/p", t.writable, t.marked,
                      [&t](const char* name) {
                        auto found = t.environment.find(name);
                        return found == t.environment.end() ? std::string() : found->second;
                      },
                      t.homeOfUser};
    const FileLayout layout = ChooseFileLayout(facts);
    EXPECT_EQ(layout.settingsFolder, t.expected.settingsFolder);
    EXPECT_EQ(layout.logFolder, t.expected.logFolder);
    EXPECT_EQ(layout.lockFolder, t.expected.lockFolder);
    EXPECT_EQ(layout.toolFilesFolder, t.expected.toolFilesFolder);
  }
}

// The installed program makes the user's folders on its first start, for the user alone.
TEST(FileLayoutTest, InstalledProgramMakesPrivateFolders) {
  TempFolder dir{"quillet-layout"};
  const fs::path program = dir.path() / "lib" / "quillet";
  WriteFile(program / kInstalledMark, "");
  const std::string home = (dir.path() / "home").string();
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_STATE_HOME");
  unsetenv("XDG_RUNTIME_DIR");
  const FileLayout layout = ChooseFileLayout(program.string());
  EXPECT_EQ(layout.settingsFolder, home + "/.config/quillet");
  for (const std::string& folder : {layout.settingsFolder, layout.logFolder}) {
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0) << folder;
    EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
  }
}

}  // namespace
}  // namespace quillet::test
