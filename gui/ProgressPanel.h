#pragma once
// Under the step text: a bar of the share the running tool has done and a line with the
// percentage, the time left and the film or part of the run ("42 % — about 3 min left —
// film 2 of 7"). It shows the model's StepProgress at each refresh and takes no input.

#include <QString>
#include <QWidget>
#include <string>

class QLabel;
class QProgressBar;

namespace quillet {

struct StepProgress;

class ProgressPanel : public QWidget {
 public:
  explicit ProgressPanel(const StepProgress& progress, QWidget* parent = nullptr);

  void Refresh();

  // "42 % — " in front of the window's caption while a tool tells how far it is.
  static QString WindowTitle(const std::string& caption, const StepProgress& progress);

 private:
  const StepProgress& progress_;
  QProgressBar* bar_;
  QLabel* detail_;
};

}  // namespace quillet
