// The real program on a virtual X display: it shows its window, saves a picture of it
// (QUILLET_SCREENSHOT) and ends. The picture is kept in the build tree to look at.

#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <filesystem>

#include "tests/support/ProgramRun.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

TEST(ScreenshotTest, TheProgramShowsItsWindowOnAnXDisplay) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run is not installed";
  const std::filesystem::path picture = QUILLET_BINARY_DIR "/artifacts/quillet-window.png";
  std::filesystem::create_directories(picture.parent_path());
  std::filesystem::remove(picture);

  // A copy of the program, so the settings file it may write stays out of the build tree.
  TempFolder folder("quillet-screenshot");
  std::filesystem::copy_file(QUILLET_PROGRAM_DIR "/quillet", folder.path() / "quillet");
  const ProgramRun run =
      RunShell("cd " + ShellQuoted(folder.str()) +
               " && env -u QT_QPA_PLATFORM QUILLET_SCREENSHOT=" + ShellQuoted(picture.string()) +
               " timeout 120 xvfb-run -a ./quillet");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(std::filesystem::exists(picture));

  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(picture.string()), "PNG"));
  EXPECT_GE(image.width(), 300);
  EXPECT_GE(image.height(), 200);
  EXPECT_LE(image.width(), 2000);
  EXPECT_LE(image.height(), 1500);
  // Something is drawn: far more than one colour.
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 20);
}

}  // namespace
}  // namespace quillet::test
