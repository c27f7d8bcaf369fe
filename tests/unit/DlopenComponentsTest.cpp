// Registering components through the dynamic loader, with a real library leaving a marker.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sys/DlopenComponents.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// Shipped under the Windows name and found without regard to case, as Windows finds it.
TEST(DlopenComponents, CallsTheEntryPointsAndSkipsWhatCannotBeRegisteredSilently) {
  TempFolder program{"quillet-components"};
  const std::string marker = (program.path() / "marker.txt").string();
  setenv("QUILLET_TEST_COMPONENT_MARKER", marker.c_str(), 1);
  DlopenComponents components;
  const auto at = [&](const char* name) { return (program.path() / name).string(); };
  WriteFile(at("empty.ax"), "");
  WriteFile(at("garbage.ax"), std::string(4096, 'x'));
  fs::create_directory(at("folder.dll"));
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  for (const std::string& library :
       {at("missing.dll"), at("empty.ax"), at("garbage.ax"), at("folder.dll"), std::string()})
    EXPECT_NO_THROW(components.RegisterServer(library, true)) << library;
  EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(fs::exists(marker));
  fs::copy_file(QUILLET_TEST_COMPONENT, at("FSFWrap.dll"));
  components.RegisterServer(at("FSFWrap.dll"), true);
  components.RegisterServer(at("FSFWrap.dll"), false);
  components.RegisterServer(at("fsfwrap.DLL"), true);
  unsetenv("QUILLET_TEST_COMPONENT_MARKER");
  EXPECT_EQ(ReadFile(marker), "register\nunregister\nregister\n");
}

}  // namespace
}  // namespace quillet::test
