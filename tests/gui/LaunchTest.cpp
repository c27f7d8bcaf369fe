// The entry point: how the command line becomes one argument text, when the program
// counts as having a display, and what a run without one answers to a bad argument.

#include <gtest/gtest.h>

#include "gui/Launch.h"
#include "tests/gui/ProgramRun.h"

namespace quillet::test {
namespace {

TEST(LaunchTest, ArgumentsJoinWithSingleBlanks) {
  const struct {
    std::vector<const char*> argv;
    std::string text;
  } cases[] = {
      {{"quillet"}, ""},
      {{"quillet", "/films/a.mkv"}, "/films/a.mkv"},
      // An unquoted path with blanks arrives in pieces and is one path again.
      {{"quillet", "/films/My", "Film.mkv"}, "/films/My Film.mkv"},
      {{"quillet", "\"/films/My Film.mkv\""}, "\"/films/My Film.mkv\""},
      {{"quillet", "a", "", "b"}, "a  b"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ArgumentText(static_cast<int>(c.argv.size()), c.argv.data()), c.text);
}

TEST(LaunchTest, ADisplayIsANonEmptyX11OrWaylandName) {
  EXPECT_FALSE(HasDisplay(nullptr, nullptr));
  EXPECT_FALSE(HasDisplay("", ""));
  EXPECT_TRUE(HasDisplay(":0", nullptr));
  EXPECT_TRUE(HasDisplay("", "wayland-0"));
  EXPECT_TRUE(HasDisplay(nullptr, "wayland-0"));
}

TEST(LaunchTest, WithoutADisplayAnArgumentThatNamesNoFilmEndsWithUsage) {
  TempFolder folder("quillet-launch");
  const std::string noDisplay = "-u DISPLAY -u WAYLAND_DISPLAY";
  for (const std::string& args : {std::string(), std::string("/no/such/film.mkv"),
                                  ShellQuoted(folder.str() + "/notes.avi")}) {
    SCOPED_TRACE(args);
    WriteFile(folder.path() / "notes.avi", "x");
    const ProgramRun run = RunProgramCopy(folder, noDisplay, "", args);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.stderrText.find("usage: quillet FILE.mkv | FOLDER"), std::string::npos)
        << run.stderrText;
  }
}

}  // namespace
}  // namespace quillet::test
