#include "app/ConsoleUi.h"

#include <chrono>
#include <thread>
#include <vector>

#include "app/Form1.h"

namespace quillet {
namespace {

// A box's lines joined by blanks, so one box is one line of the log.
std::string OneLine(const std::string& text) {
  std::string line;
  bool inBreak = false;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!inBreak) line += ' ';
      inBreak = true;
    } else {
      line += c;
      inBreak = false;
    }
  }
  return line;
}

// The answer a box gives when Enter is pressed: its default button, the first one
// unless the style names the second (256) or third (512).
int DefaultAnswer(int style) {
  static const std::vector<std::vector<int>> kButtons = {
      {MsgResult::kOk},                                       // OK
      {MsgResult::kOk, MsgResult::kCancel},                   // OK, Cancel
      {3, 4, 5},                                              // Abort, Retry, Ignore
      {MsgResult::kYes, MsgResult::kNo, MsgResult::kCancel},  // Yes, No, Cancel
      {MsgResult::kYes, MsgResult::kNo},                      // Yes, No
      {4, MsgResult::kCancel},                                // Retry, Cancel
  };
  const size_t set = static_cast<size_t>(style & 7);
  if (set >= kButtons.size()) return MsgResult::kOk;
  const std::vector<int>& buttons = kButtons[set];
  const size_t chosen = static_cast<size_t>((style >> 8) & 3);
  return buttons[chosen < buttons.size() ? chosen : 0];
}

}  // namespace

ConsoleUi::ConsoleUi(std::ostream& err, ConsoleProgress::Mode mode,
                     std::function<StepProgress::Clock::time_point()> now, int columns)
    : err_(err), progress_(err, mode, std::move(now), columns) {}

ConsoleUi::~ConsoleUi() {
  progress_.BreakLine();
}

int ConsoleUi::MsgBox(const std::string& text, int style, const std::string& title) {
  progress_.BreakLine();
  err_ << (title.empty() ? kProgramTitle : title) << ": " << OneLine(text) << std::endl;
  return DefaultAnswer(style);
}

std::string ConsoleUi::OpenFile(const OpenFileRequest&) {
  return "";  // nobody is there to choose: the dialog is cancelled
}

std::string ConsoleUi::BrowseForFolder(const std::string&) {
  return "";
}

void ConsoleUi::Repaint() {
  if (form_) progress_.Show(form_->txtProgress.Text, form_->progress);
}

void ConsoleUi::Tell(const std::string& line) {
  if (!out_) return;
  progress_.BreakLine();  // a terminal's status line must not run into it
  *out_ << line << std::endl;
}

void ConsoleUi::ShowFolderWindow() {
  progress_.BreakLine();
  err_ << "Folder conversion: the folder window needs a display; name the folder on the "
          "command line instead."
       << std::endl;
}

void ConsoleUi::Sleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quillet
