// Choosing a film at the window with the real tools: the audio list, the verdict line read
// once per film, and films that cannot be read refused before "Convert" can take them.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

#include "tests/gui/WindowFixture.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

// The file dialog gives `chosenFile`.
class RecordingUi : public ScriptedQtUi {
 public:
  QString chosenFile;

 protected:
  QString ExecOpenFile(const QString&, const QString&, const QStringList&) override {
    return chosenFile;
  }
};

class FilmChoice : public RealToolsTest {
 protected:
  void SetUp() override {
    RealToolsTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    fs::create_directories(dir.path() / "output");
    program.WriteSettings(
        {.outputFolder = dir.str() + "/output/", .sourceFolder = dir.str() + "/"});
    ASSERT_TRUE(runner.SetToolLog(ToolLog().string()));
    window.Load(ParseCommandLine(std::vector<std::string>{}));
    window.show();
  }
  fs::path ToolLog() const { return program.folder() / "tools.log"; }
  // Types the path into the source box and presses Enter.
  void Type(const std::string& path) {
    QLineEdit* box = window.findChild<QLineEdit*>("txtFile");
    box->setFocus();
    box->selectAll();
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                    QString::fromStdString(path));
    QCoreApplication::sendEvent(box, &typed);
    emit box->editingFinished();  // leaving the box ends the typing (Enter would also convert)
  }
  std::string Verdict() { return window.findChild<QLabel*>("lblVerdict")->text().toStdString(); }
  bool ConvertEnabled() { return window.findChild<QPushButton*>("Command2")->isEnabled(); }
  void Drop(const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
  }
  std::string Garbage(const std::string& name) {
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes += static_cast<char>((i * 7919 + 13) % 251);
    WriteFile(dir.path() / name, bytes);
    return (dir.path() / name).string();
  }

  RealProgram program{dir.path() / "program"};
  PosixToolRunner runner;
  RecordingUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx{program.folder().string(), runner, ui, power, components, media};
  App app{ctx};
  MainWindow window{app, ui};
};

// A typed film is inspected and judged; the audio list says what each track is. Ticking
// AVCHD judges it again for a Blu-ray player from what was read, without a tool.
TEST_F(FilmChoice, ATypedFilmGetsItsAudioListAndAVerdictThatFollowsTheOptions) {
  const std::string shelved =
      TestFilm("two tracks.mkv", "160x120", 1,
               "-map 0:v -map 1:a -map 1:a -c:v libx264 -preset ultrafast -c:a:0 aac -c:a:1 ac3 "
               "-filter:a:0 aformat=channel_layouts=stereo -ac:a:1 6 -metadata:s:a:0 language=ger "
               "-metadata:s:a:0 title='Deutsch Stereo' "
               "-metadata:s:a:1 language=eng");
  ASSERT_FALSE(shelved.empty());
  EXPECT_FALSE(ConvertEnabled());
  EXPECT_EQ(Verdict(), "");
  Type(shelved);
  EXPECT_EQ(app.form.cmbAudio.Items,
            (std::vector<std::string>{"1: ger, AAC 2.0, \"Deutsch Stereo\"", "2: eng, AC3 5.1"}));
  EXPECT_EQ(Verdict().rfind("PS3: ", 0), 0u) << Verdict();
  EXPECT_TRUE(ConvertEnabled());
  const std::string tools = ReadFile(ToolLog());
  window.findChild<QCheckBox*>("chkAVCHD")->click();
  Type(shelved);  // the same path again is not read again
  EXPECT_EQ(Verdict().rfind("Blu-ray", 0), 0u) << Verdict();
  EXPECT_EQ(ReadFile(ToolLog()), tools);
  EXPECT_TRUE(ui.boxes.empty()) << ::testing::PrintToString(ui.boxes);
}

// Random bytes named .mkv are refused with one box, chosen, typed or dropped, and
// "Convert" stays disabled; a dropped film after one refused is converted.
TEST_F(FilmChoice, AFilmThatCannotBeReadIsRefusedWithOneBox) {
  const std::string bad = Garbage("random.mkv");
  const std::string refusal = bad + " cannot be read: the Matroska reader found no tracks";
  ui.chosenFile = QString::fromStdString(bad);
  window.findChild<QPushButton*>("Command1")->click();
  EXPECT_EQ(ui.boxes, std::vector<std::string>{refusal});
  EXPECT_EQ(Verdict(), refusal);
  EXPECT_FALSE(ConvertEnabled());
  ui.boxes.clear();
  const std::string other = Garbage("other.mkv");
  Type(other);
  EXPECT_EQ(ui.boxes, std::vector<std::string>{other + refusal.substr(bad.size())});
  EXPECT_FALSE(ConvertEnabled());
  ui.boxes.clear();
  const std::string good =
      TestFilm("good.mkv", "160x120", 1, "-c:v libx264 -preset ultrafast -c:a ac3");
  ASSERT_FALSE(good.empty());
  Drop({bad, good});
  EXPECT_EQ(ui.boxes, std::vector<std::string>{refusal});
  EXPECT_EQ(app.form.txtFile.Text, good);
  EXPECT_TRUE(fs::exists(dir.path() / "output/good.mp4")) << ReadFile(ToolLog());
  EXPECT_TRUE(ConvertEnabled());
}

// Pictures of the verdict line and of the queue as the X server shows them (build/artifacts/):
// this executable runs this test again under Xvfb, where it types a film and queues it twice.
TEST_F(FilmChoice, PicturesOfTheVerdictLineAndTheQueueOnAnXDisplay) {
  const fs::path verdict = artifacts / "quillet-verdict.png",
                 queue = artifacts / "quillet-queue.png";
  if (!qEnvironmentVariableIsSet(kOnXDisplay)) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
    for (const fs::path& picture : {verdict, queue}) fs::remove(picture);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const ProgramRun run = RunShell("env -u QT_QPA_PLATFORM " + std::string(kOnXDisplay) +
                                    "=1 timeout 120 xvfb-run -a " + ShellQuoted(self) +
                                    " --gtest_filter=FilmChoice.PicturesOf*");
    ASSERT_EQ(run.status, 0) << run.err;
    for (const fs::path& picture : {verdict, queue}) ExpectWindowPicture(picture);
    return;
  }
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  const std::string film =
      TestFilm("a film.mkv", "160x120", 1, "-c:v libx264 -preset ultrafast -c:a ac3");
  ASSERT_FALSE(film.empty());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const auto picture = [this](const fs::path& file) {
    QTest::qWait(300);  // the X server has drawn what the window painted
    QScreen* screen = window.screen();
    ASSERT_TRUE(screen->grabWindow(window.winId()).save(QString::fromStdString(file), "PNG"));
  };
  Type(film);
  ASSERT_EQ(Verdict().rfind("PS3: ", 0), 0u) << Verdict();
  picture(verdict);
  window.findChild<QPushButton*>("cmdQueueAdd")->click();
  window.findChild<QCheckBox*>("chkAVCHD")->click();
  window.findChild<QPushButton*>("cmdQueueAdd")->click();
  ASSERT_EQ(window.findChild<QTreeWidget*>("lstQueue")->topLevelItemCount(), 2);
  picture(queue);
}

}  // namespace
}  // namespace quillet::test
