// The entry point: how the command line becomes one argument text, and when the program
// counts as having a display. (A run without one: tests/e2e/HeadlessRunTest.cpp.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/Launch.h"

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
      // A first "--" ends the options; a later one is part of the path.
      {{"quillet", "--", "-o.mkv"}, "-o.mkv"},
      {{"quillet", "--", "-my", "film.mkv"}, "-my film.mkv"},
      {{"quillet", "--"}, ""},
      {{"quillet", "-o.mkv"}, "-o.mkv"},
      {{"quillet", "a", "--", "b"}, "a -- b"},
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

}  // namespace
}  // namespace quillet::test
