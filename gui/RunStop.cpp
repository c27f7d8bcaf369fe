#include "gui/RunStop.h"

#include <QPushButton>

#include "app/App.h"
#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/StopRequest.h"
#include "convert/PathNames.h"
#include "gui/QtUi.h"

namespace quillet {

RunStop::RunStop(App& app, QtUi& ui, QObject* parent)
    : QObject(parent), app_(app), ui_(ui), button_(new QPushButton("&Stop")) {
  button_->setObjectName("cmdStop");
  button_->setAccessibleName("Stop");
  button_->setEnabled(false);
  // Pressing Enter elsewhere must never stop a run.
  button_->setAutoDefault(false);
  QObject::connect(button_, &QPushButton::clicked, this, [this] { Stop(); });
}

void RunStop::Arm() {
  button_->setEnabled(true);
}

void RunStop::Stop() {
  if (button_->isEnabled()) RequestUserStop();
}

void RunStop::AskToQuit() {
  const int answer =
      ui_.AskUser("Stop the conversion and quit?", MsgStyle::kYesNo + MsgStyle::kQuestion, "");
  if (answer != MsgResult::kYes) return;
  quitting_ = true;
  RequestUserStop();
}

bool RunStop::Settle(bool unwound) {
  button_->setEnabled(false);
  // A stop that unwound what was no conversion (a film's inspection) says so too.
  if (unwound && app_.form.txtProgress.Text.rfind(kConversionStopped, 0) != 0)
    SetProgress(app_, kConversionStopped);
  if (UserStopRequested()) {
    ClearUserStop();
    app_.stopped = false;
  } else if (StopRequested()) {
    // A signal, also one that only closed a box: the program ends with its status.
    app_.stopped = true;
  }
  return quitting_;
}

}  // namespace quillet
