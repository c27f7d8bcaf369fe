// The queue at the offscreen window: films added with their own options, run to the end
// with real tools past a film that fails, kept in the queue file.

#include <sys/stat.h>

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <set>

#include "app/Program.h"
#include "base/StopRequest.h"
#include "queue/QueueFile.h"
#include "queue/WindowOptions.h"
#include "tests/gui/WindowFixture.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

// Each film of the list: "name target output state", joined by ", ".
std::string Rows(QWidget& window) {
  auto* list = window.findChild<QTreeWidget*>("lstQueue");
  QStringList rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    for (int column = 0; column < 4; ++column)
      rows << (column == 0 && i > 0 ? ", "
               : column > 0         ? " "
                                    : "") +
                  list->topLevelItem(i)->text(column);
  return rows.join("").toStdString();
}

// Three films with different targets and outputs; the middle one is no film by the time
// the queue runs (a FIFO). The others are converted with their own options, the middle
// one is marked failed with the box's text, no box waits, and the window shows where the
// queue is and gets its options back.
TEST_F(RealToolsTest, AQueueOfThreeFilmsRunsToItsEndPastAFilmThatFails) {
  RealProgram program{dir.path() / "program"};
  const std::string made =
      TestFilm("queued.mkv", "160x120", 2, "-c:v libx264 -preset ultrafast -c:a ac3 -ac 6");
  ASSERT_FALSE(made.empty());
  const fs::path films = dir.path() / "films é", output = dir.path() / "output";
  for (const fs::path& folder : {films, output}) fs::create_directories(folder);
  const std::vector<fs::path> sources = {films / "first.mkv", films / "second.mkv",
                                         films / "third film.mkv"};
  for (const fs::path& source : sources) fs::copy_file(made, source);
  program.WriteSettings(
      {.outputFolder = output.string() + "/", .sourceFolder = films.string() + "/"});
  RealWindow<> real(program);
  App& app = real.app;
  MainWindow& window = real.window;
  auto& ui = real.ui;
  window.Load(CommandLine{});
  const auto click = [&window](const char* name) {
    window.findChild<QAbstractButton*>(name)->click();
  };
  const auto choose = [&window](int target) {
    window.findChild<QComboBox*>("cmbPlatform")->setCurrentIndex(target);
  };
  // PS3 M2TS, PS3 MP4 with normalized sound, Xbox 360 MP4.
  const std::vector<std::function<void()>> options = {[&] { choose(0), click("chkVob"); },
                                                      [&] { choose(0), click("chkNorm"); },
                                                      [&] { choose(1); }};
  for (size_t i = 0; i < sources.size(); ++i) {
    ChooseSourceByType(app, sources[i].string());
    window.Refresh();
    options[i]();
    click("cmdQueueAdd");
    if (i == 0) click("chkVob");
    if (i == 1) click("chkNorm");
  }
  ASSERT_EQ(window.findChild<QTreeWidget*>("lstQueue")->topLevelItemCount(), 3);
  choose(2);  // the window's own choice, which the films must not keep
  fs::remove(sources[1]);
  ASSERT_EQ(mkfifo(sources[1].c_str(), 0644), 0);
  const WindowOptions before = TakeWindowOptions(app);

  std::set<std::string> positions;
  ui.afterRepaint = [&] {
    positions.insert(app.form.progress.film + " / " +
                     window.findChild<QLabel*>("lblMulti")->text().toStdString());
  };
  click("cmdQueueStart");
  ui.afterRepaint = nullptr;

  const std::vector<Job> jobs = LoadQueue(QueueFilePath(program.folder().string())).jobs;
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ(jobs[1].reason, sources[1].string() + " is not a regular file (a FIFO)");
  EXPECT_TRUE(jobs[0].state == JobState::kDone && jobs[2].state == JobState::kDone)
      << ReadFile(program.folder() / "tools.log");
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(Entries(output), (std::vector<std::string>{"first.mpg", "third film.mp4"}));
  EXPECT_EQ(Probe((output / "first.mpg").string(), "a:0", "channels"), "6");
  EXPECT_EQ(Probe((output / "third film.mp4").string(), "a:0", "channels"), "2");
  // The time left in all, an estimate from this machine's speed, may follow.
  EXPECT_TRUE(std::any_of(positions.begin(), positions.end(), [](const std::string& shown) {
    return shown.rfind("film 2 of 3 / 2 of 3", 0) == 0;
  })) << ::testing::PrintToString(positions);
  EXPECT_TRUE(TakeWindowOptions(app) == before);
  EXPECT_EQ(Rows(window), "first.mkv PS3 (5.1) M2TS done, second.mkv PS3 (5.1) MP4 failed: " +
                              jobs[1].reason + ", third film.mkv Xbox 360 MP4 done");
  for (QWidget* widget : window.findChild<QWidget*>("queuePanel")
                             ->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    EXPECT_FALSE(widget->objectName().isEmpty() || widget->accessibleName().isEmpty());
}

// The window shows the queue file of its program folder (a film that was running waits
// again, a damaged file is named in the progress line); its buttons move and remove only
// films that may move, and the file follows.
TEST_F(WindowTest, TheQueueFileIsShownAndOnlyFilmsThatMayMoveMove) {
  const std::string path = QueueFilePath(programDir.str());
  ASSERT_TRUE(SaveQueue(
      path, {{"/a.mkv", {}, 1, -1, JobState::kDone, ""},
             {"/b.mkv", {}, 1, -1, JobState::kRunning, ""},
             {"/c.mkv", {"--target", "xbox360", "--avchd"}, 1, -1, JobState::kWaiting, ""}}));
  // A new window each time: it shows what the last one left in the file.
  const auto rows = [&](int row, std::vector<const char*> buttons) {
    MainWindow window(app, ui);
    auto* list = window.findChild<QTreeWidget*>("lstQueue");
    list->setCurrentItem(list->topLevelItem(row));
    for (const char* button : buttons) window.findChild<QAbstractButton*>(button)->click();
    return Rows(window);
  };
  const std::string a = "a.mkv  MP4 done", b = "b.mkv  MP4 waiting",
                    c = "c.mkv Xbox 360 AVCHD waiting";
  EXPECT_EQ(rows(1, {"cmdQueueUp", "cmdQueueDown"}),
            a + ", " + c + ", " + b);  // not above a done film
  EXPECT_EQ(rows(0, {"cmdQueueRemove", "cmdQueueDown"}), a + ", " + c + ", " + b);
  EXPECT_EQ(rows(1, {"cmdQueueRemove"}), a + ", " + b);
  WriteFile(path, "no queue");
  EXPECT_EQ(rows(0, {}), "");
  EXPECT_TRUE(Holds(app.form.txtProgress.Text, path + " is damaged"));
}

// A close in the second film asks first, although the queue answers the films' own boxes;
// once confirmed, that film can run again, the third still waits, the file keeps it, and
// the line says how many films the queue was through.
TEST_F(WindowTest, AQueueStoppedInItsSecondFilmKeepsTheRestWaiting) {
  std::vector<Job> jobs;
  for (const char* name : {"a.mkv", "b.mkv", "c.mkv"})
    jobs.push_back({Film(name), {}, 1, -1, JobState::kWaiting, ""});
  const std::string path = QueueFilePath(programDir.str());
  ASSERT_TRUE(SaveQueue(path, jobs));
  MainWindow window(app, ui);
  runner.On("mkvinfo.exe", [&](const std::vector<std::string>& argv) {
    if (std::any_of(argv.begin(), argv.end(), [](auto& arg) { return arg.ends_with("b.mkv"); })) {
      runner.CallIdle();
      window.close();
    }
    ThrowIfStopRequested();
    return std::string();
  });
  window.findChild<QAbstractButton*>("cmdQueueStart")->click();
  EXPECT_EQ(ui.boxes, std::vector<std::string>{"Stop the conversion and quit?"});
  EXPECT_TRUE(window.QuitAfterStop());
  EXPECT_EQ(app.form.txtProgress.Text, "Conversion stopped. 1 of 3 films done.");
  const std::vector<Job> kept = LoadQueue(path).jobs;
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_NE(kept[0].state, JobState::kWaiting);
  EXPECT_TRUE(kept[1].state == JobState::kStopped && kept[2].state == JobState::kWaiting);
  EXPECT_FALSE(StopRequested() || app.stopped || window.Busy());
}

}  // namespace
}  // namespace quillet::test
