// The real program on a virtual X display: it shows its window, saves a picture of it
// (QUILLET_SCREENSHOT) and ends. The picture is kept in the build tree to look at.

#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <filesystem>

#include "tests/gui/ProgramRun.h"

namespace quillet::test {
namespace {

TEST(ScreenshotTest, TheProgramShowsItsWindowOnAnXDisplay) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run is not installed";
  const std::filesystem::path picture = QUILLET_BINARY_DIR "/artifacts/quillet-window.png";
  std::filesystem::create_directories(picture.parent_path());
  std::filesystem::remove(picture);

  TempFolder folder("quillet-screenshot");
  const ProgramRun run = RunProgramCopy(
      folder, "-u QT_QPA_PLATFORM QUILLET_SCREENSHOT=" + ShellQuoted(picture.string()),
      "xvfb-run -a", "");
  ASSERT_EQ(run.exitStatus, 0) << run.stderrText;
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
