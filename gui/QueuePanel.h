#pragma once
// The queue of films in the window: the list (film, target, output kind, state) and its
// buttons. The queue itself is the model's (queue/); the panel shows it and runs its
// handlers through the window, like every other button.

#include <QGroupBox>
#include <functional>
#include <string>

#include "app/App.h"
#include "queue/JobQueue.h"

class QPushButton;
class QTreeWidget;

namespace quillet {

class QtUi;

class QueuePanel : public QGroupBox {
  Q_OBJECT

 public:
  // Runs a handler as the window runs its buttons' handlers.
  using Handler = std::function<void(const std::function<void()>&)>;

  // Reads the queue file beside the settings file; a damaged one is reported in the
  // progress line.
  QueuePanel(App& app, QtUi& ui, Handler handle, QWidget* parent = nullptr);

  // Brings the list and the buttons up to date with the queue and the window.
  void Refresh();
  const JobQueue& queue() const { return queue_; }

 private:
  QPushButton* AddButton(const char* name, const char* caption, std::function<void()> handler);
  int SelectedRow() const;
  void Select(int row);
  void Add();
  void Start();

  App& app_;
  QtUi& ui_;
  Handler handle_;
  JobQueue queue_;
  std::string path_;
  QTreeWidget* list_ = nullptr;
  QPushButton *add_ = nullptr, *remove_ = nullptr, *up_ = nullptr, *down_ = nullptr,
              *start_ = nullptr;
};

}  // namespace quillet
