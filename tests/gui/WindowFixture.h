#pragma once
// The offscreen window with scripted dialogs and fake tools (WindowTest), and the built
// program with real tools (RealToolsTest), shared by the window's test files.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <QSet>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gui/MainWindow.h"
#include "gui/QtUi.h"
#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/TestApp.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {

namespace fs = std::filesystem;
using SB = QMessageBox::StandardButton;

// The one QApplication of the executable, made before any widget member is built.
inline constexpr const char* kOnXDisplay = "QUILLET_TEST_ON_X_DISPLAY";

struct WithGuiApp {
  WithGuiApp() {
    static int argc = 1;
    static char name[] = "quillet-gui-test", *argv[] = {name, nullptr};
    // kOnXDisplay: this executable runs again under Xvfb, to take pictures of the window.
    if (!qEnvironmentVariableIsSet(kOnXDisplay)) qputenv("QT_QPA_PLATFORM", "offscreen");
    [[maybe_unused]] static QApplication* app = new QApplication(argc, argv);
  }
};

// Boxes take their default button, the open-file dialog is cancelled, the folder picker
// gives folderAnswer; what they ask is kept, and afterRepaint sees every repaint.
class ScriptedQtUi : public QtUi {
 public:
  QString folderAnswer;
  std::vector<QString> fileTitles, folderCaptions;  // a file dialog: "title | first filter"
  std::vector<std::string> boxes;                   // the text of every box shown
  std::vector<SB> answers;  // the boxes' answers in turn; then each takes its default
  std::function<void()> afterRepaint;

  void Repaint() override {
    QtUi::Repaint();
    if (afterRepaint) afterRepaint();
  }

 protected:
  SB ExecMessageBox(QMessageBox& box) override {
    boxes.push_back(box.text().toStdString());
    if (answers.empty()) return box.standardButton(box.defaultButton());
    return std::exchange(answers, {answers.begin() + 1, answers.end()}).front();
  }
  QString ExecOpenFile(const QString& title, const QString&, const QStringList& filters) override {
    fileTitles.push_back(title + " | " + filters.value(0));
    return {};
  }
  QString ExecFolder(const QString& caption, const QString&) override {
    folderCaptions.push_back(caption);
    return folderAnswer;
  }
};

// A fake tool calls CallIdle while it "runs", as the real runner does about every 100 ms.
struct IdlingToolRunner : FakeToolRunner {
  using FakeToolRunner::CallIdle;
};

class WindowTest : public ::testing::Test, protected WithGuiApp {
 protected:
  WindowTest() {
    app.form.txtTMP.Text = outputDir.withSep();
    window.show();
  }

  template <typename W = QWidget>
  W* Find(const char* name, QWidget* in = nullptr) {
    W* widget = (in ? in : &window)->findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* name, QWidget* in = nullptr) { Find<QAbstractButton>(name, in)->click(); }
  void Choose(const char* list, const QString& entry) {
    QComboBox* combo = Find<QComboBox>(list);
    ASSERT_GE(combo->findText(entry), 0) << entry.toStdString();
    combo->setCurrentIndex(combo->findText(entry));
  }
  std::string Film(const std::string& name) {
    WriteFile(sourceDir.path() / name, "not really a film");
    return (sourceDir.path() / name).string();
  }
  // Drags the paths (or text) over the target and drops them; true when it was accepted.
  bool DropOn(QWidget* target, const std::vector<std::string>& paths, const QString& text = {}) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromUserInput(QString::fromStdString(p));
    if (!urls.isEmpty()) data.setUrls(urls);
    if (!text.isEmpty()) data.setText(text);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return enter.isAccepted();
  }
  // The sources the report tool was run on, in order (each named once in a row).
  std::vector<std::string> Inspected(const std::vector<std::string>& names) {
    std::vector<std::string> order;
    for (const std::string& line : runner.CommandLines())
      for (const std::string& name : names)
        if (line.find(name) != std::string::npos && (order.empty() || order.back() != name))
          order.push_back(name);
    return order;
  }

  TempFolder programDir{"quillet-program"}, outputDir{"quillet-output"}, sourceDir{"quillet-in"};
  IdlingToolRunner runner;
  ScriptedQtUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx{programDir.str(), runner, ui, power, components, media};
  App app{ctx};
  MainWindow window{app, ui};
};

class RealToolsTest : public ::testing::Test, protected WithGuiApp {
 protected:
  void SetUp() override {
    RequireBuiltProgram();
    fs::create_directories(artifacts);
  }
  TempFolder dir{"quillet-real"};
  const fs::path artifacts = QUILLET_BINARY_DIR "/artifacts";
};

// The window over the real tool runner in a copied program folder, tools.log beside it.
template <typename TUi = ScriptedQtUi>
struct RealWindow {
  explicit RealWindow(const RealProgram& program)
      : ctx{program.folder().string(), runner, ui, power, components, media} {
    EXPECT_TRUE(runner.SetToolLog((program.folder() / "tools.log").string()));
  }
  PosixToolRunner runner;
  TUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx;
  App app{ctx};
  MainWindow window{app, ui};
};

// A picture of a window, not an empty or one-coloured one, of a plausible size.
inline void ExpectWindowPicture(const std::filesystem::path& file) {
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(file.string()), "PNG")) << file;
  EXPECT_TRUE(image.width() >= 300 && image.width() <= 2000 && image.height() >= 200 &&
              image.height() <= 1500)
      << file;
  QSet<QRgb> colours;  // something is drawn: far more than one colour
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 20) << file;
}

}  // namespace quillet::test
