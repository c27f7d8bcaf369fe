// Registering the component libraries beside the program through the dynamic loader,
// with a real shared library whose entry points leave a marker file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sys/DlopenComponents.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

class DlopenComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("QUILLET_TEST_COMPONENT_MARKER", marker.c_str(), 1); }
  void TearDown() override { unsetenv("QUILLET_TEST_COMPONENT_MARKER"); }

  TempFolder program{"quillet-components"};
  std::string marker = (program.path() / "marker.txt").string();
  DlopenComponents components;
};

TEST_F(DlopenComponentsTest, CallsTheRegistrationEntryPoints) {
  // Shipped under the Windows name; the loader does not care about the extension.
  fs::copy_file(QUILLET_TEST_COMPONENT, program.path() / "FSFWrap.dll");
  components.RegisterServer((program.path() / "FSFWrap.dll").string(), true);
  components.RegisterServer((program.path() / "FSFWrap.dll").string(), false);
  // Found without regard to case, as Windows finds it.
  components.RegisterServer((program.path() / "fsfwrap.DLL").string(), true);
  EXPECT_EQ(ReadFile(marker), "register\nunregister\nregister\n");
}

TEST_F(DlopenComponentsTest, SkipsWhatCannotBeRegisteredSilently) {
  WriteFile(program.path() / "empty.ax", "");
  WriteFile(program.path() / "garbage.ax", std::string(4096, 'x'));
  fs::create_directory(program.path() / "folder.dll");
  const std::string libraries[] = {
      (program.path() / "missing.dll").string(),
      (program.path() / "empty.ax").string(),
      (program.path() / "garbage.ax").string(),
      (program.path() / "folder.dll").string(),
      "",
  };
  for (const std::string& library : libraries) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_NO_THROW(components.RegisterServer(library, true)) << library;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << library;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << library;
  }
  EXPECT_FALSE(fs::exists(marker));
}

}  // namespace
}  // namespace quillet::test
