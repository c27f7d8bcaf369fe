// The entry point: when the program counts as having a display. (The command line:
// tests/unit/CommandLineOptionsTest.cpp.) (A run without one: tests/e2e/HeadlessRunTest.cpp.)

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gui/Launch.h"

namespace quillet::test {
namespace {

// "--verbose" in front is taken out and asks for the tools' words; anywhere else, or
// after "--", it is part of what names the source.
TEST(LaunchTest, VerboseIsALeadingOption) {
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> left;
    bool verbose;
  } cases[] = {
      {{"quillet", "--verbose", "/films/a.mkv"}, {"quillet", "/films/a.mkv"}, true},
      {{"quillet", "--verbose", "--verbose"}, {"quillet"}, true},
      {{"quillet", "/films/a.mkv"}, {"quillet", "/films/a.mkv"}, false},
      {{"quillet", "--", "--verbose"}, {"quillet", "--", "--verbose"}, false},
      {{"quillet", "/films/My", "--verbose"}, {"quillet", "/films/My", "--verbose"}, false},
  };
  for (const auto& c : cases) {
    unsetenv(kVerboseVariable);
    std::vector<std::string> storage = c.args;
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(storage.size());
    TakeVerboseOption(argc, argv.data());
    EXPECT_EQ(std::vector<std::string>(argv.begin(), argv.begin() + argc), c.left);
    EXPECT_EQ(argv[static_cast<size_t>(argc)], nullptr);
    EXPECT_EQ(VerboseRun(), c.verbose) << c.args.back();
  }
  unsetenv(kVerboseVariable);
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
