#pragma once
// What every gui test needs: one QApplication on the offscreen platform, and a QtUi
// whose dialogs are answered by the test instead of a user.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <deque>
#include <string>
#include <vector>

#include "gui/QtUi.h"

namespace quillet::test {

// The one QApplication of the test executable, on the offscreen platform.
inline QApplication& GuiApp() {
  static int argc = 1;
  static char name[] = "quillet-gui-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

// A base that makes sure the QApplication exists before any widget member is built.
struct WithGuiApp {
  WithGuiApp() { GuiApp(); }
};

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon;
  std::vector<QMessageBox::StandardButton> buttons;
  QMessageBox::StandardButton defaultButton;
};

struct SeenFileDialog {
  QString title;
  QString startFolder;
  QStringList nameFilters;
};

// A QtUi whose boxes and dialogs take scripted answers. A box without a scripted
// answer is pressed on its default button; a dialog without one is cancelled.
class ScriptedQtUi : public QtUi {
 public:
  std::deque<QMessageBox::StandardButton> boxAnswers;
  std::deque<QString> fileAnswers;
  std::deque<QString> folderAnswers;

  std::vector<SeenBox> boxes;
  std::vector<SeenFileDialog> fileDialogs;
  std::vector<QString> folderCaptions;

 protected:
  QMessageBox::StandardButton ExecMessageBox(QMessageBox& box) override {
    SeenBox seen{box.windowTitle(), box.text(), box.icon(), {}, QMessageBox::NoButton};
    for (QAbstractButton* b : box.buttons()) seen.buttons.push_back(box.standardButton(b));
    if (box.defaultButton()) seen.defaultButton = box.standardButton(box.defaultButton());
    boxes.push_back(seen);
    if (boxAnswers.empty()) return seen.defaultButton;
    const auto answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  QString ExecOpenFile(const QString& title, const QString& startFolder,
                       const QStringList& nameFilters) override {
    fileDialogs.push_back({title, startFolder, nameFilters});
    return Next(fileAnswers);
  }
  QString ExecFolder(const QString& caption, const QString&) override {
    folderCaptions.push_back(caption);
    return Next(folderAnswers);
  }

 private:
  static QString Next(std::deque<QString>& answers) {
    if (answers.empty()) return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace quillet::test
