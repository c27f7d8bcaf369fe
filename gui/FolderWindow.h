#pragma once
// frmFolder on screen: a small window of its own, not modal, with the two buttons that
// start a folder run. Like the main window it keeps no state: it shows App::frmFolder.

#include <QWidget>
#include <functional>

#include "app/App.h"
#include "gui/ControlBinding.h"

namespace quillet {

class FolderWindow : public QWidget {
  Q_OBJECT

 public:
  // `handle` runs a handler the way the main window runs its own: one at a time, so a
  // click here while a conversion runs is refused.
  using Handler = std::function<void(const std::function<void()>&)>;
  FolderWindow(App& app, Handler handle);

  // Brings the caption and the buttons up to date with the model.
  void Refresh();

 protected:
  // Closing it by its title bar hides it, as a choice does; it can be shown again.
  void closeEvent(QCloseEvent* event) override;

 private:
  App& app_;
  ControlBindings bindings_;
};

}  // namespace quillet
