#include "gui/MainWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/Program.h"
#include "app/RunNotice.h"
#include "app/Settings.h"
#include "base/StopRequest.h"
#include "convert/Convert.h"
#include "gui/AboutBox.h"
#include "gui/FolderWindow.h"
#include "gui/ProgressPanel.h"
#include "gui/QtUi.h"
#include "gui/QueuePanel.h"
#include "gui/RunStop.h"
#include "shell/SourceVerdict.h"
#include "tools/ToolRunner.h"

namespace quillet {

MainWindow::MainWindow(App& app, QtUi& ui, QWidget* parent)
    : QMainWindow(parent), app_(app), ui_(ui), runStop_(new RunStop(app, ui, this)) {
  BuildWidgets();
  setAcceptDrops(true);
  folderWindow_ = std::make_unique<FolderWindow>(
      app_, [this](const std::function<void()>& handler) { Handle(handler); });
  ui_.SetWindow(this);
  ui_.SetFolderWindow(folderWindow_.get());
  ui_.SetRefresh([this] { Refresh(); });
  ui_.SetWaitHook([this] { WhileWaiting(); });
  app_.ctx.runner.SetIdleCallback([this] {
    WhileWaiting();
    ui_.Repaint();
  });
  Refresh();
}

MainWindow::~MainWindow() {
  sourceBox_->disconnect(this);  // losing the focus as it goes is no typing
  app_.ctx.runner.SetIdleCallback(nullptr);
  ui_.SetWaitHook(nullptr);
  ui_.SetRefresh(nullptr);
  ui_.SetFolderWindow(nullptr);
  ui_.SetWindow(nullptr);
}

void MainWindow::BuildWidgets() {
  Form1& f = app_.form;
  ControlBindings& b = bindings_;
  const auto handle = [this](std::function<void()> handler) {
    return [this, handler = std::move(handler)] { Handle(handler); };
  };
  const auto check = [&](CheckBox& box, bool showCaption = true) {
    return b.CheckBox(box, showCaption, handle([&box] { box.Click(); }));
  };
  // A selection sets the list index; a list with a click rule runs it.
  const auto list = [&](ComboBox& combo) {
    return b.Combo(combo, [this, &combo](int index) {
      Handle([&combo, index] { combo.SetListIndex(index); });
    });
  };
  const auto text = [](TextBox& box) {
    return [&box](const std::string& value) { box.Text = value; };
  };

  // Source and output folder.
  auto* files = new QGridLayout;
  auto* txtFile = b.Text(f.txtFile, text(f.txtFile));
  txtFile->installEventFilter(this);
  sourceBox_ = txtFile;
  files->addWidget(b.Label(f.lblSourcefile), 0, 0);
  files->addWidget(txtFile, 0, 1);
  files->addWidget(b.Button(f.Command1, handle([this] { FileButton_Click(app_, films_); })), 0, 2);
  files->addWidget(b.Button(f.cmdFolder, handle([this] { cmdFolder_Click(app_); })), 0, 3);
  files->addWidget(b.Label(f.lblOutput), 1, 0);
  files->addWidget(b.Text(f.txtTMP, text(f.txtTMP)), 1, 1);
  files->addWidget(b.Button(f.cmdTargetFolder, handle([this] { cmdTargetFolder_Click(app_); })), 1,
                   2, 1, 2);
  auto* verdict = b.Label(f.lblVerdict);
  verdict->setWordWrap(true);
  files->addWidget(verdict, 2, 1, 1, 3);
  files->setColumnStretch(1, 1);
  // A typed path counts once the typing is finished (Enter, or leaving the box); a path
  // the program put there is no typing. Enter takes the film before it presses Convert.
  const auto typed = [this, txtFile] {
    if (!txtFile->isModified() || busy_) return;
    txtFile->setModified(false);
    Handle([this] { SourceTyped(app_, films_); });
  };
  connect(txtFile, &QLineEdit::returnPressed, this, typed);
  connect(txtFile, &QLineEdit::editingFinished, this, typed);

  // Target, recode format and priority.
  auto* lists = new QHBoxLayout;
  auto* platform = b.Combo(f.cmbPlatform, [this](int index) {
    Handle([this, index] {
      app_.form.cmbPlatform.SetListIndex(index);
      app_.form.cmbPlatform_Change();
    });
  });
  platform->installEventFilter(this);
  platformList_ = platform;
  lists->addWidget(b.Label(f.lblTarget));
  lists->addWidget(platform, 1);
  lists->addSpacing(12);
  lists->addWidget(b.Label(f.lblReencode));
  lists->addWidget(list(f.cmdConv), 1);
  lists->addSpacing(12);
  lists->addWidget(b.Label(f.lblPriority));
  lists->addWidget(list(f.cmbPrio), 1);

  // Conversion options.
  auto* options = new QGridLayout;
  options->addWidget(check(f.chkAVCHD), 0, 0);
  options->addWidget(check(f.chkVob), 0, 1);
  options->addWidget(check(f.chkMP2), 1, 0);
  options->addWidget(check(f.chk25), 1, 1);
  options->addWidget(check(f.chkFF), 2, 0);
  options->addWidget(check(f.chkNorm), 2, 1);
  auto* fit = new QHBoxLayout;
  fit->addWidget(check(f.chkDVD));
  fit->addWidget(list(f.cmbSize), 1);
  options->addLayout(fit, 3, 0);
  auto* split = new QHBoxLayout;
  split->setSpacing(2);
  split->addWidget(check(f.Check1, false));
  split->addWidget(b.Label(f.Autosplit));
  split->addStretch();
  options->addLayout(split, 3, 1);
  options->setRowStretch(4, 1);
  options->setHorizontalSpacing(16);

  // The streams of the source: audio track and subtitles.
  auto* audio = b.Frame(f.Frame2);
  auto* audioLayout = new QVBoxLayout(audio);
  audioLayout->addWidget(list(f.cmbAudio));
  auto* streams = b.Frame(f.Frame1);
  auto* streamsLayout = new QGridLayout(streams);
  streamsLayout->addWidget(audio, 0, 0, 1, 2);
  streamsLayout->addWidget(b.Label(f.Label2), 1, 0);
  auto* found = new QHBoxLayout;
  found->addWidget(b.Label(f.lblSubs));
  found->addWidget(b.Label(f.lblSRTFound));
  found->addStretch();
  streamsLayout->addLayout(found, 1, 1);
  streamsLayout->addWidget(list(f.cmbSubs), 2, 0, 1, 2);
  streamsLayout->addWidget(b.Button(f.cmdSubs, handle([this] { cmdSubs_Click(app_); })), 3, 0);
  streamsLayout->addWidget(check(f.chkSubs), 3, 1);
  streamsLayout->addWidget(check(f.chkChapters), 4, 0);
  streamsLayout->addWidget(b.Button(f.Command3, handle([this] { app_.form.Command3_Click(); })), 5,
                           0, 1, 2);
  streamsLayout->setRowStretch(6, 1);

  auto* middle = new QHBoxLayout;
  middle->addLayout(options, 3);
  middle->addSpacing(8);
  middle->addWidget(streams, 2);

  // Start, shutdown and progress.
  auto* run = new QHBoxLayout;
  run->addWidget(check(f.chkShutDown));
  run->addWidget(AboutBox::HelpButton(this));
  run->addStretch();
  run->addWidget(b.Label(f.lblMulti));
  auto* convert = b.Button(f.Command2, handle([this] { Command2_Click(app_); }));
  convert->setDefault(true);
  convert->setMinimumWidth(120);
  run->addWidget(convert);

  controls_ = new QWidget;
  auto* page = new QVBoxLayout(controls_);
  page->setContentsMargins(0, 0, 0, 0);
  page->addLayout(files);
  page->addLayout(lists);
  page->addSpacing(4);
  page->addLayout(middle);
  page->addLayout(run);
  // Stop and the progress stay usable and readable while the controls are disabled.
  auto* central = new QWidget;
  auto* window = new QVBoxLayout(central);
  window->addWidget(controls_);
  auto* step = new QHBoxLayout;
  step->addWidget(b.Text(f.txtProgress, nullptr), 1);
  step->addWidget(runStop_->button());
  window->addLayout(step);
  progressPanel_ = new ProgressPanel(f.progress);
  window->addWidget(progressPanel_);
  // The queue sits with the controls: its buttons wait, as theirs do, while a run works.
  queuePanel_ = new QueuePanel(app_, ui_, [this](const std::function<void()>& h) { Handle(h); });
  page->addWidget(queuePanel_);
  setCentralWidget(central);

  // Screen readers name a box or list by the label beside it; Alt keys; Enter converts.
  b.NameAfter(f.txtFile, f.lblSourcefile);
  b.NameAfter(f.txtTMP, f.lblOutput);
  b.NameAfter(f.cmbPlatform, f.lblTarget);
  b.NameAfter(f.cmdConv, f.lblReencode);
  b.NameAfter(f.cmbPrio, f.lblPriority);
  b.NameAfter(f.Check1, f.Autosplit);
  b.NameAfter(f.cmbSize, f.chkDVD, " disc");
  b.NameAfter(f.cmbAudio, f.Frame2);
  b.NameAfter(f.cmbSubs, f.Label2);
  b.NameAs(f.txtProgress, "Progress");
  // H: the Help button, S: Stop, D and Q: the queue's "Add to queue" and "Start queue".
  b.AssignMnemonics({{&f.Command1, 'F'}, {&f.Command2, 'C'}}, "HSQD");
  b.EnterPresses(convert);
}

void MainWindow::Refresh() {
  const QString title = ProgressPanel::WindowTitle(app_.form.Caption, app_.form.progress);
  if (windowTitle() != title) setWindowTitle(title);
  RefreshVerdictLine(app_, films_);
  bindings_.Refresh();
  progressPanel_->Refresh();
  queuePanel_->Refresh();
  if (folderWindow_) folderWindow_->Refresh();
}

std::optional<std::string> MainWindow::Load(const CommandLine& commandLine) {
  std::optional<std::string> refused;
  Handle([this, &commandLine, &refused] { refused = Form_Load(app_, commandLine); });
  return refused;
}

void MainWindow::ConvertCommandLine(const CommandLine& commandLine) {
  Handle([this, &commandLine] { cmdLine(app_, commandLine); });
}

void MainWindow::Handle(const std::function<void()>& handler) {
  if (busy_) return;
  busy_ = true;
  const RunNotice notice(app_);
  bool unwound = false;
  try {
    handler();
  } catch (const RunStopped&) {
    // The conversion's guard has undone the run; a signal's stop ends the program once
    // we are back in the event loop.
    app_.stopped = unwound = true;
  }
  if (inputBlocked_) {
    // Clicks and keys that queued up while a tool ran reach only disabled widgets
    // and are dropped; then the window takes input again.
    ui_.TakeInputWhileWaiting(false);
    QCoreApplication::processEvents();
    controls_->setEnabled(true);
    folderWindow_->setEnabled(true);
    inputBlocked_ = false;
  }
  const bool quit = runStop_->Settle(unwound);
  Refresh();
  busy_ = false;
  notice.End();
  if (quit) close();
}

bool MainWindow::QuitAfterStop() const {
  return runStop_->Quitting();
}

void MainWindow::WhileWaiting() {
  if (!busy_ || inputBlocked_) return;
  inputBlocked_ = true;
  controls_->setEnabled(false);
  folderWindow_->setEnabled(false);
  runStop_->Arm();
  ui_.TakeInputWhileWaiting(true);
}

std::vector<std::string> MainWindow::DroppedFiles(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  return paths;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy_ && !DroppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!busy_ && !DroppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  Drop(event);
}

void MainWindow::Drop(QDropEvent* event) {
  const std::vector<std::string> paths = DroppedFiles(event->mimeData());
  if (paths.empty() || busy_) return;
  event->acceptProposedAction();
  Handle([this, &paths] { DropFilms(app_, films_, paths); });
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  // Only the window's own background, not a control on it.
  QWidget* hit = childAt(event->position().toPoint());
  if (hit == nullptr || hit == centralWidget() || hit == controls_)
    Handle([this] { Form_DblClick(app_); });
  else
    QMainWindow::mouseDoubleClickEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing in the middle of a conversion would leave it running without a window: it
  // stops first, when the user wants it so, and the window closes once it has unwound.
  if (busy_) {
    event->ignore();
    if (!runStop_->Quitting()) runStop_->AskToQuit();
    return;
  }
  // The folder window would keep the program running without its main window.
  folderWindow_->close();
  QMainWindow::closeEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && busy_)
    runStop_->Stop();
  else
    QMainWindow::keyPressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == sourceBox_) {
    // The source box takes dropped files like the window; dropped text is not typed in.
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!busy_ && !DroppedFiles(drag->mimeData()).empty())
          drag->acceptProposedAction();
        else
          drag->ignore();
        return true;
      }
      case QEvent::Drop:
        Drop(static_cast<QDropEvent*>(event));
        return true;
      default:
        break;
    }
  } else if (watched == platformList_ && event->type() == QEvent::FocusOut) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
      Handle([this] { app_.form.cmbPlatform_Change(); });
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace quillet
