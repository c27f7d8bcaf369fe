// The window during a real conversion (offscreen, the real tool runner, the toolkit in a
// copied program folder): the bar under the step text fills as the encode goes on, the
// line beside it gives the percentage and the time left, the step text stays as the step
// set it, and the window takes no input meanwhile. Pictures of two moments are kept in
// build/artifacts/.

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <filesystem>
#include <functional>
#include <regex>

#include "app/App.h"
#include "gui/MainWindow.h"
#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestApp.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// A Ui that lets the test look at the window after every repaint.
class WatchedQtUi : public ScriptedQtUi {
 public:
  std::function<void()> afterRepaint;
  void Repaint() override {
    ScriptedQtUi::Repaint();
    if (afterRepaint) afterRepaint();
  }
};

struct Moment {
  double share = 0;
  int barValue = 0;
  int barMaximum = 0;
  bool barShown = false;
  QString step;
  QString detail;
  bool takesInput = true;
  QImage picture;
};

class ProgressBarTest : public ::testing::Test, protected WithGuiApp {
 protected:
  void SetUp() override {
    if (!RealProgram::Built()) GTEST_SKIP() << "the program is not built";
    fs::create_directories(sources);
    fs::create_directories(output);
    ASSERT_TRUE(MakeSmallFilm(film, 60));
    ConversionSettings settings;
    settings.outputFolder = output.string() + "/";
    settings.sourceFolder = sources.string() + "/";
    settings.recode = true;
    program.WriteSettings(settings);
  }

  template <typename W>
  W* Widget(MainWindow& window, const char* name) {
    W* widget = window.findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  TempFolder dir{"progress-window"};
  fs::path sources = dir.path() / "sources";
  fs::path output = dir.path() / "output";
  std::string film = (sources / "film.mkv").string();
  RealProgram program{dir.path() / "program"};
};

TEST_F(ProgressBarTest, TheBarFillsDuringARealEncode) {
  PosixToolRunner runner;
  ASSERT_TRUE(runner.SetToolLog((program.folder() / "tools.log").string()));
  WatchedQtUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx{program.folder().string(), runner, ui, power, components, media};
  App app(ctx);
  MainWindow window(app, ui);
  window.show();

  // Two moments of the encode: past a tenth and past a half.
  std::vector<Moment> moments;
  const double marks[] = {0.1, 0.5};
  ui.afterRepaint = [&] {
    const StepProgress& p = app.form.progress;
    if (moments.size() >= 2 || app.form.txtProgress.Text != "Encoding H264" || !p.share) return;
    if (*p.share < marks[moments.size()]) return;
    auto* bar = Widget<QProgressBar>(window, "progressBar");
    Moment m;
    m.share = *p.share;
    m.barValue = bar->value();
    m.barMaximum = bar->maximum();
    m.barShown = bar->isVisible();
    m.step = Widget<QLineEdit>(window, "txtProgress")->text();
    m.detail = Widget<QLabel>(window, "lblProgressDetail")->text();
    m.takesInput = window.centralWidget()->isEnabled();
    m.picture = window.grab().toImage();
    moments.push_back(m);
  };
  window.Load(ParseCommandLine(std::vector<std::string>{film}));
  ui.afterRepaint = nullptr;

  ASSERT_TRUE(fs::exists(output / "film.mp4")) << ReadFile(program.folder() / "tools.log");
  ASSERT_EQ(moments.size(), 2u) << "the encode told too little of its progress";
  const fs::path artifacts = QUILLET_BINARY_DIR "/artifacts";
  fs::create_directories(artifacts);
  for (size_t i = 0; i < moments.size(); ++i) {
    const Moment& m = moments[i];
    SCOPED_TRACE("moment " + std::to_string(i + 1));
    EXPECT_TRUE(
        m.picture.save(QString::fromStdString(
                           (artifacts / ("progress-" + std::to_string(i + 1) + ".png")).string()),
                       "PNG"));
    EXPECT_TRUE(m.barShown);
    EXPECT_EQ(m.barMaximum, 1000);
    EXPECT_NEAR(m.barValue, m.share * 1000, 1);
    EXPECT_EQ(m.step, "Encoding H264");
    EXPECT_TRUE(
        std::regex_match(m.detail.toStdString(), std::regex("\\d+ %( \u2014 about .* left)?")))
        << m.detail.toStdString();
    EXPECT_FALSE(m.takesInput);
  }
  EXPECT_GT(moments[1].barValue, moments[0].barValue);
  EXPECT_NE(moments[0].picture, moments[1].picture);
  // Once the run is over the bar is gone and the window takes input again.
  EXPECT_FALSE(Widget<QProgressBar>(window, "progressBar")->isVisible());
  EXPECT_TRUE(window.centralWidget()->isEnabled());
}

}  // namespace
}  // namespace quillet::test
