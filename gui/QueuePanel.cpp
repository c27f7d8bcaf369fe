#include "gui/QueuePanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "gui/QtUi.h"
#include "queue/JobOptions.h"
#include "queue/QueueFile.h"
#include "queue/QueueRun.h"

namespace quillet {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The target as the window's list names it.
std::string TargetName(const App& app, const Job& job) {
  const std::string word = OptionValue(job, "--target");
  const std::vector<std::string>& items = app.form.cmbPlatform.Items;
  const int index = word == "ps3" ? 0 : word == "xbox360" ? 1 : word == "ps3-stereo" ? 2 : -1;
  return index >= 0 && index < static_cast<int>(items.size()) ? items[index] : word;
}

QStringList Row(const App& app, const Job& job) {
  std::string state = StateName(job.state);
  if (job.state == JobState::kFailed) state += ": " + job.reason;
  return {Q(std::filesystem::path(job.source).filename().string()), Q(TargetName(app, job)),
          Q(OutputKind(job)), Q(state)};
}

}  // namespace

QueuePanel::QueuePanel(App& app, QtUi& ui, Handler handle, QWidget* parent)
    : QGroupBox("Queue", parent), app_(app), ui_(ui), handle_(std::move(handle)) {
  setObjectName("queuePanel");
  setAccessibleName("Queue");
  list_ = new QTreeWidget;
  list_->setObjectName("lstQueue");
  list_->setAccessibleName("Films in the queue");
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({"Film", "Target", "Output", "State"});
  list_->header()->setStretchLastSection(true);
  list_->setMinimumHeight(90);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this] { Refresh(); });

  auto* buttons = new QVBoxLayout;
  add_ = AddButton("cmdQueueAdd", "A&dd to queue", [this] { Add(); });
  remove_ = AddButton("cmdQueueRemove", "Remove", [this] { queue_.Remove(SelectedRow()); });
  up_ = AddButton("cmdQueueUp", "Up", [this] {
    if (queue_.MoveUp(SelectedRow())) Select(SelectedRow() - 1);
  });
  down_ = AddButton("cmdQueueDown", "Down", [this] {
    if (queue_.MoveDown(SelectedRow())) Select(SelectedRow() + 1);
  });
  start_ = AddButton("cmdQueueStart", "Start &queue", [this] { Start(); });
  for (QPushButton* button : {add_, remove_, up_, down_, start_}) buttons->addWidget(button);
  // The window has too few free letters for every button: the list's own keys move and
  // remove, and only while the list has the focus (Delete in a text box stays a delete).
  const auto listKey = [this](QKeySequence key, QPushButton* button) {
    auto* shortcut = new QShortcut(key, list_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
  };
  listKey(QKeySequence::Delete, remove_);
  listKey(QKeySequence(Qt::ALT | Qt::Key_Up), up_);
  listKey(QKeySequence(Qt::ALT | Qt::Key_Down), down_);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);

  path_ = QueueFilePath(app_.ctx.files.settingsFolder);
  LoadedQueue loaded = LoadQueue(path_);
  queue_.Load(std::move(loaded.jobs));
  if (!loaded.problem.empty()) {
    app_.form.txtProgress.Text = loaded.problem;
    AppendDebugLog(app_, loaded.problem);
  }
  queue_.OnChange([this] {
    if (!SaveQueue(path_, queue_.jobs()))
      SetProgress(app_, "The queue could not be saved to " + path_ + ".");
  });
  Refresh();
}

QPushButton* QueuePanel::AddButton(const char* name, const char* caption,
                                   std::function<void()> handler) {
  auto* button = new QPushButton(caption);
  button->setObjectName(name);
  button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
  connect(button, &QPushButton::clicked, this,
          [this, handler = std::move(handler)] { handle_(handler); });
  return button;
}

int QueuePanel::SelectedRow() const {
  return list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
}

void QueuePanel::Select(int row) {
  Refresh();
  list_->setCurrentItem(list_->topLevelItem(row));
}

void QueuePanel::Refresh() {
  const std::vector<Job>& jobs = queue_.jobs();
  const QSignalBlocker quiet(list_);
  while (list_->topLevelItemCount() > static_cast<int>(jobs.size()))
    delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
  for (size_t i = 0; i < jobs.size(); ++i) {
    const QStringList row = Row(app_, jobs[i]);
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(i));
    if (item == nullptr) item = new QTreeWidgetItem(list_);
    for (int column = 0; column < row.size(); ++column)
      if (item->text(column) != row[column]) item->setText(column, row[column]);
    item->setToolTip(0, Q(jobs[i].source));
  }
  const int selected = SelectedRow();
  const bool movable = selected >= 0 && Movable(jobs[static_cast<size_t>(selected)]);
  add_->setEnabled(!app_.form.strFullname.empty());
  remove_->setEnabled(movable);
  up_->setEnabled(movable && selected > 0 && Movable(jobs[static_cast<size_t>(selected) - 1]));
  down_->setEnabled(movable && selected + 1 < static_cast<int>(jobs.size()) &&
                    Movable(jobs[static_cast<size_t>(selected) + 1]));
  start_->setEnabled(queue_.RunnableCount() > 0);
}

void QueuePanel::Add() {
  Job job = JobFromWindow(app_);
  const CommandLine commandLine = JobCommandLine(job);
  if (!commandLine.error.empty()) {
    app_.ctx.ui.MsgBox("This film cannot be added to the queue: " + commandLine.error,
                       MsgStyle::kExclamation, "");
    return;
  }
  queue_.Add(std::move(job));
}

void QueuePanel::Start() {
  QueueRun run(app_, queue_);
  // Boxes wait for nobody while the queue runs, whichever way it ends.
  struct Quiet {
    QtUi& ui;
    ~Quiet() { ui.SetBoxAnswer(nullptr); }
  } quiet{ui_};
  ui_.SetBoxAnswer(
      [&run](const std::string& text, int style) { return run.AnswerBox(text, style); });
  run.Run();
}

}  // namespace quillet
