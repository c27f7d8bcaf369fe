#pragma once
// What the program needs from a screen: message boxes, file and folder dialogs,
// repaints, the always-on-top band and the folder window. The Qt window and the console (runs
// without a display) implement it; tests use a scripted fake.

#include <string>
#include <vector>

namespace quillet {

// Message box styles and answers, with the classic numeric values so the style a
// box is described with (16 = critical + OK, 4 = Yes/No, ...) reads the same here.
namespace MsgStyle {
inline constexpr int kOkOnly = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kYesNo = 4;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;
}  // namespace MsgStyle

namespace MsgResult {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace MsgResult

// The program's title, shown by boxes that name no title of their own.
inline constexpr const char* kProgramTitle = "Quillet 0.24 B8";

struct FileFilter {
  std::string description;  // "mkv Files (*.mkv)"
  std::string pattern;      // "*.MKV", or several: "*.srt; *.ssa"
};

struct OpenFileRequest {
  std::string title;
  std::vector<FileFilter> filters;  // the first one is selected
  std::string startFolder;
};

class Ui {
 public:
  virtual ~Ui() = default;

  // Shows a message box and returns the answer (MsgResult). An empty title shows
  // the program's title.
  virtual int MsgBox(const std::string& text, int style, const std::string& title) = 0;

  // Returns the chosen file's full path, or "" when the user cancels.
  virtual std::string OpenFile(const OpenFileRequest& request) = 0;

  // Returns the chosen folder (no trailing separator), or "" when the user cancels.
  virtual std::string BrowseForFolder(const std::string& prompt) = 0;

  // Brings the screen up to date with the window model (progress text, captions...).
  virtual void Repaint() = 0;

  // Moves the window in or out of the always-on-top band, keeping its rectangle.
  virtual void SetTopMost(bool onTop) = 0;

  // Waits the given time while the screen keeps repainting.
  virtual void Sleep(int milliseconds) = 0;

  // A line for the user about what the run does ("Subtitles: film.en.srt"): standard
  // output without a display; the window shows it in its controls instead.
  virtual void Tell(const std::string& /*line*/) {}

  // A desktop notification, for a user who went away from a long run; where the desktop
  // has none, nothing happens.
  virtual void Notify(const std::string& /*summary*/, const std::string& /*body*/) {}

  // Shows or hides the folder window (App::frmFolder). It is not modal: showing it
  // returns at once, and its buttons start the folder runs.
  virtual void ShowFolderWindow() = 0;
  virtual void HideFolderWindow() = 0;
};

}  // namespace quillet
