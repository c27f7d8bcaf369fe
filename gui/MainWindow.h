#pragma once
// The main window: shows Form1 and turns clicks, selections, edits and drops into the
// model's handlers. It owns no option state; after every handled event, and at every
// repaint the program asks for, each widget is refreshed from the model.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/App.h"
#include "gui/ControlBinding.h"
#include "shell/CmdLine.h"
#include "shell/SourceVerdict.h"

class QDropEvent;
class QMimeData;

namespace quillet {

class QtUi;
class FolderWindow;
class ProgressPanel;
class RunStop;
class QueuePanel;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(App& app, QtUi& ui, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up: settings and the command line, run like any handler. Returns the reason
  // when the command line's options cannot stand in the window.
  std::optional<std::string> Load(const CommandLine& commandLine);
  // The sources of a command line whose options are applied already, run like any
  // handler while the window shows.
  void ConvertCommandLine(const CommandLine& commandLine);

  // Brings every widget up to date with the model.
  void Refresh();

  // The folder window of the "Folder" button (shown by the program through the Ui).
  FolderWindow* folderWindow() const { return folderWindow_.get(); }

  // True while a handler runs (a conversion can take an hour).
  bool Busy() const { return busy_; }
  // The user chose to stop the run and quit (the window closes once it has unwound).
  bool QuitAfterStop() const;

  // The local files a drop carries, in the order of the drop list.
  static std::vector<std::string> DroppedFiles(const QMimeData* data);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWidgets();
  // Runs one handler of the model. A second handler is refused while it runs; once a tool
  // runs or the program waits, the controls are disabled until the handler returns, and
  // only Stop and the window's close take input.
  void Handle(const std::function<void()>& handler);
  // Called while a tool runs or the program waits: only Stop and close act, painting goes on.
  void WhileWaiting();
  void Drop(QDropEvent* event);

  App& app_;
  QtUi& ui_;
  ControlBindings bindings_;
  // A window of its own, not a child: the main window's find-by-name stays its own.
  std::unique_ptr<FolderWindow> folderWindow_;
  QWidget* sourceBox_ = nullptr;
  QWidget* platformList_ = nullptr;
  ProgressPanel* progressPanel_ = nullptr;
  // What is disabled while a run works: everything but Stop and the progress.
  QWidget* controls_ = nullptr;
  RunStop* runStop_ = nullptr;
  QueuePanel* queuePanel_ = nullptr;
  FilmFacts films_;  // the facts of the films chosen, for the verdict line
  bool busy_ = false;
  bool inputBlocked_ = false;
};

}  // namespace quillet
