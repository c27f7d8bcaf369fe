// The entry point: when the program counts as having a display. (The command line:
// tests/unit/CommandLineOptionsTest.cpp.) (A run without one: tests/e2e/HeadlessRunTest.cpp.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/Launch.h"

namespace quillet::test {
namespace {

TEST(LaunchTest, ADisplayIsANonEmptyX11OrWaylandName) {
  EXPECT_FALSE(HasDisplay(nullptr, nullptr));
  EXPECT_FALSE(HasDisplay("", ""));
  EXPECT_TRUE(HasDisplay(":0", nullptr));
  EXPECT_TRUE(HasDisplay("", "wayland-0"));
  EXPECT_TRUE(HasDisplay(nullptr, "wayland-0"));
}

}  // namespace
}  // namespace quillet::test
