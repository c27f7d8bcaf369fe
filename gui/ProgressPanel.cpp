#include "gui/ProgressPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <cmath>

#include "app/ConsoleProgress.h"
#include "app/StepProgress.h"

namespace quillet {
namespace {

constexpr int kBarSteps = 1000;

// Hidden without giving its room away, so the window does not jump between tools.
template <typename W>
W* KeepingRoom(W* widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
  return widget;
}

}  // namespace

ProgressPanel::ProgressPanel(const StepProgress& progress, QWidget* parent)
    : QWidget(parent),
      progress_(progress),
      bar_(KeepingRoom(new QProgressBar)),
      detail_(KeepingRoom(new QLabel)) {
  setObjectName("progressPanel");
  bar_->setObjectName("progressBar");
  bar_->setRange(0, kBarSteps);
  bar_->setTextVisible(false);
  detail_->setObjectName("lblProgressDetail");
  detail_->setMinimumWidth(260);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(bar_, 1);
  layout->addWidget(detail_);
  Refresh();
}

void ProgressPanel::Refresh() {
  const auto now = StepProgress::Clock::now();
  // A step without a tool at work (a check, a wait) shows only where the run is.
  const QString detail = QString::fromStdString(StatusLine("", progress_, now));
  if (detail_->text() != detail) detail_->setText(detail);
  detail_->setVisible(!detail.isEmpty());
  bar_->setVisible(progress_.toolRunning);
  if (!progress_.toolRunning) return;
  if (progress_.share) {
    // A tool that tells how far it is fills the bar.
    if (bar_->maximum() != kBarSteps) bar_->setRange(0, kBarSteps);
    bar_->setValue(static_cast<int>(std::lround(*progress_.share * kBarSteps)));
  } else if (bar_->maximum() != 0) {
    bar_->setRange(0, 0);  // one that tells nothing: the bar only says it is busy
  }
}

QString ProgressPanel::WindowTitle(const std::string& caption, const StepProgress& progress) {
  const std::string percent = PercentDone(progress);
  return QString::fromStdString(percent.empty() ? caption : percent + " \u2014 " + caption);
}

}  // namespace quillet
