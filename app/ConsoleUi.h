#pragma once
// The Ui of a run without a display: progress texts and message boxes go to standard
// error, every box takes its default answer, dialogs are cancelled. How the progress is
// written (a status line on a terminal, a few lines into a log) is ConsoleProgress's.

#include <ostream>
#include <string>

#include "app/ConsoleProgress.h"
#include "app/Ui.h"

namespace quillet {

class Form1;

class ConsoleUi : public Ui {
 public:
  explicit ConsoleUi(
      std::ostream& err, ConsoleProgress::Mode mode = ConsoleProgress::Mode::Log,
      std::function<StepProgress::Clock::time_point()> now = StepProgress::Clock::now,
      int columns = 0);
  // Ends an open status line.
  ~ConsoleUi() override;
  // The window model whose progress text is echoed at each repaint.
  void Attach(const Form1& form) { form_ = &form; }
  // Where Tell writes; nowhere until set.
  void TellTo(std::ostream& out) { out_ = &out; }

  int MsgBox(const std::string& text, int style, const std::string& title) override;
  std::string OpenFile(const OpenFileRequest& request) override;
  std::string BrowseForFolder(const std::string& prompt) override;
  void Repaint() override;
  void Tell(const std::string& line) override;
  void SetTopMost(bool) override {}
  void Sleep(int milliseconds) override;
  // Nobody can press the folder window's buttons: showing it says so instead.
  void ShowFolderWindow() override;
  void HideFolderWindow() override {}

 private:
  std::ostream& err_;
  const Form1* form_ = nullptr;
  std::ostream* out_ = nullptr;
  ConsoleProgress progress_;
};

}  // namespace quillet
