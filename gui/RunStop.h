#pragma once
// Stopping a run from the window: the Stop button (and Escape), and a close while a run
// works, which asks first. The user's stop unwinds the run as a signal's does (the tool's
// process group ends, the conversion's guard undoes the run), but once the run has
// unwound the program goes on, or quits when the close asked for it. A signal's stop is
// left as it is: the program ends with its status.

#include <QObject>

class QPushButton;

namespace quillet {

struct App;
class QtUi;

class RunStop : public QObject {
 public:
  RunStop(App& app, QtUi& ui, QObject* parent = nullptr);

  // The "Stop" button, disabled until a run starts a tool or a wait.
  QPushButton* button() const { return button_; }

  // A run has started a tool or a wait: Stop acts from now on.
  void Arm();
  // Stop, or Escape while Stop can act: the running tool ends and the run unwinds.
  void Stop();
  // The window is asked to close while a handler runs: "Stop the conversion and quit?".
  // Yes stops the run, and the window closes once it has unwound.
  void AskToQuit();
  // After the handler (`unwound`: by a stop): the stop it ended with is settled and the
  // progress text says it stopped. True when the window should now close.
  bool Settle(bool unwound);
  // The user chose to stop and quit.
  bool Quitting() const { return quitting_; }

 private:
  App& app_;
  QtUi& ui_;
  QPushButton* button_;
  bool quitting_ = false;
};

}  // namespace quillet
