#pragma once
// The Ui port on Qt: message boxes, file and folder dialogs, repaints of the window
// from its model, and the always-on-top band.
//
// Every dialog opens through one protected Exec* function; tests derive from QtUi and
// answer there, so no dialog ever waits for a user in a test.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/Ui.h"

class QWidget;

namespace quillet {

class QtUi : public Ui {
 public:
  QtUi() = default;

  // The window that owns the dialogs and that SetTopMost moves, and what a repaint
  // does before it lets Qt paint (bring every widget up to date with the model).
  void SetWindow(QWidget* window) { window_ = window; }
  void SetRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }
  // Called when Sleep starts waiting, so the window can stop taking input meanwhile.
  void SetWaitHook(std::function<void()> wait) { wait_ = std::move(wait); }
  // While true, a repaint also takes the user's input: the window has disabled all but
  // what may act during a run (Stop, its close).
  void TakeInputWhileWaiting(bool take) { takeInput_ = take; }
  // While set, a box is not shown: this gives its answer at once (a run nobody watches).
  using BoxAnswer = std::function<int(const std::string& text, int style)>;
  void SetBoxAnswer(BoxAnswer answer) { answer_ = std::move(answer); }

  int MsgBox(const std::string& text, int style, const std::string& title) override;
  // A question of the window's own (not of the run): shown even while SetBoxAnswer
  // answers the run's boxes.
  int AskUser(const std::string& text, int style, const std::string& title);
  std::string OpenFile(const OpenFileRequest& request) override;
  std::string BrowseForFolder(const std::string& prompt) override;
  void Repaint() override;
  void SetTopMost(bool onTop) override;
  // Through the desktop's notification service on the session bus.
  void Notify(const std::string& summary, const std::string& body) override;
  void Sleep(int milliseconds) override;
  // Shows (raised, not modal) or hides the window set with SetFolderWindow.
  void ShowFolderWindow() override;
  void HideFolderWindow() override;
  void SetFolderWindow(QWidget* folderWindow) { folderWindow_ = folderWindow; }

  // The Qt name filters of an open-file request, in order. Patterns are matched as
  // Windows does, without regard to case: "*.MKV" also lists "film.mkv".
  static QStringList NameFilters(const std::vector<FileFilter>& filters);

 protected:
  // Shows the box, which MsgBox has set up completely (a stop request presses its
  // cautious button), and returns the button pressed
  // (QMessageBox::NoButton when it was closed without one).
  virtual QMessageBox::StandardButton ExecMessageBox(QMessageBox& box);
  // Shows the open-file dialog; returns the chosen path or "" when cancelled.
  virtual QString ExecOpenFile(const QString& title, const QString& startFolder,
                               const QStringList& nameFilters);
  // Shows the folder picker; returns the chosen folder or "" when cancelled.
  virtual QString ExecFolder(const QString& caption, const QString& startFolder);

  QWidget* window() const { return window_; }

 private:
  QWidget* window_ = nullptr;
  QWidget* folderWindow_ = nullptr;
  std::function<void()> refresh_;
  std::function<void()> wait_;
  bool takeInput_ = false;
  BoxAnswer answer_;
};

}  // namespace quillet
