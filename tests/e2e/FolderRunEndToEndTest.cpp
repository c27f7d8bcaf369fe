// A Matroska folder run with the real tools in their slots: the folder window's run,
// inside the test's own process with the dialogs answered by the test, converts the
// films of a folder into MP4s that hold the picture and sound, and leaves the one that
// has a result alone.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/Ui.h"
#include "batch/FolderConversion.h"
#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// One second of H.264 picture and AC3 sound, muxed by mkvmerge as the films users have.
::testing::AssertionResult MakeSmallFilm(const fs::path& folder, const std::string& name) {
  const std::string raw = (folder / ("raw-" + name)).string();
  auto made = Made({"ffmpeg",
                    "-nostdin",
                    "-y",
                    "-v",
                    "error",
                    "-f",
                    "lavfi",
                    "-i",
                    "testsrc=size=320x240:rate=25",
                    "-f",
                    "lavfi",
                    "-i",
                    "sine=f=440:d=1",
                    "-t",
                    "1",
                    "-c:v",
                    "libx264",
                    "-preset",
                    "ultrafast",
                    "-profile:v",
                    "high",
                    "-level",
                    "4.1",
                    "-pix_fmt",
                    "yuv420p",
                    "-c:a",
                    "ac3",
                    "-ac",
                    "2",
                    "-ar",
                    "48000",
                    raw});
  if (!made) return made;
  made = Made({"mkvmerge", "-q", "-o", (folder / name).string(), raw});
  fs::remove(raw);
  return made;
}

class FolderRunEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { RequireBuiltProgram(); }

  TempFolder work{"quillet-e2e-folder"};
};

TEST_F(FolderRunEndToEnd, ConvertsTheFilmsOfAFolderAndSkipsTheOneDone) {
  const fs::path films = work.path() / "films";
  const fs::path output = work.path() / "out folder";
  fs::create_directories(films);
  fs::create_directories(output);
  for (const char* name : {"b film.mkv", "a film.mkv", "c film.mkv"})
    ASSERT_TRUE(MakeSmallFilm(films, name));
  WriteFile(output / "c film.mp4", "an earlier result");

  RealProgram program(work.path() / "program");
  PosixToolRunner runner;
  FakeUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx{program.folder().string(), runner, ui, power, components, media};
  App app(ctx);
  app.form.txtTMP.Text = output.string() + "/";
  app.form.cmbPlatform.SetListIndex(0);  // PS3 (5.1)
  app.form.cmbPrio.SetListIndex(0);
  app.form.chkShutDown.SetValue(1);
  ui.folderAnswers = {films.string()};
  ui.boxAnswers = {MsgResult::kNo};

  folderMKV(app);

  EXPECT_EQ(app.form.txtProgress.Text, "Conversion done");
  EXPECT_EQ(power.shutdowns, 1);
  EXPECT_EQ(ReadFile(output / "c film.mp4"), "an earlier result");
  for (const char* name : {"a film.mp4", "b film.mp4"}) {
    SCOPED_TRACE(name);
    const std::string mp4 = (output / name).string();
    ASSERT_TRUE(fs::exists(mp4));
    EXPECT_EQ(Probe(mp4, "v:0", "codec_name"), "h264");
    EXPECT_EQ(Probe(mp4, "a:0", "codec_name"), "aac");
    EXPECT_TRUE(DecodesCleanly(mp4));
  }
  // Nothing but the results is left in the output folder.
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(output))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"a film.mp4", "b film.mp4", "c film.mp4"}));
}

}  // namespace
}  // namespace quillet::test
