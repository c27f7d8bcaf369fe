#include "gui/QtUi.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "base/StopRequest.h"
#include "platform/DesktopNotification.h"

namespace quillet {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QMessageBox::Icon IconOfStyle(int style) {
  switch (style & 0x70) {
    case MsgStyle::kCritical:
      return QMessageBox::Critical;
    case MsgStyle::kQuestion:
      return QMessageBox::Question;
    case MsgStyle::kExclamation:
      return QMessageBox::Warning;
    case MsgStyle::kInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The buttons of the style; the first one is the default button.
QList<QMessageBox::StandardButton> ButtonsOfStyle(int style) {
  switch (style & 0x0F) {
    case MsgStyle::kOkCancel:
      return {QMessageBox::Ok, QMessageBox::Cancel};
    case MsgStyle::kYesNo:
      return {QMessageBox::Yes, QMessageBox::No};
    default:
      return {QMessageBox::Ok};
  }
}

int ResultOfButton(QMessageBox::StandardButton button, int style) {
  switch (button) {
    case QMessageBox::Ok:
      return MsgResult::kOk;
    case QMessageBox::Cancel:
      return MsgResult::kCancel;
    case QMessageBox::Yes:
      return MsgResult::kYes;
    case QMessageBox::No:
      return MsgResult::kNo;
    default:
      // Closed with the window's close button or Escape: a box with a Cancel or No
      // button takes that answer, an OK box its OK.
      switch (style & 0x0F) {
        case MsgStyle::kOkCancel:
          return MsgResult::kCancel;
        case MsgStyle::kYesNo:
          return MsgResult::kNo;
        default:
          return MsgResult::kOk;
      }
  }
}

// How often an open box looks whether a stop was asked for.
constexpr int kStopCheckMs = 100;

QString StartFolder(const std::string& folder) {
  return folder.empty() || !QDir(Q(folder)).exists() ? QDir::homePath() : Q(folder);
}

}  // namespace

int QtUi::MsgBox(const std::string& text, int style, const std::string& title) {
  if (answer_) return answer_(text, style);
  return AskUser(text, style, title);
}

int QtUi::AskUser(const std::string& text, int style, const std::string& title) {
  QMessageBox box(window_);
  box.setWindowTitle(Q(title.empty() ? kProgramTitle : title));
  box.setText(Q(text));
  box.setIcon(IconOfStyle(style));
  const auto buttons = ButtonsOfStyle(style);
  for (QMessageBox::StandardButton b : buttons) box.addButton(b);
  box.setDefaultButton(buttons.front());
  box.setEscapeButton(buttons.back());
  // A stop (a signal, the end of the session) must not wait for a user to answer: the box
  // takes its cautious answer, and the run stops at its next tool or wait.
  QTimer stopWatch;
  QObject::connect(&stopWatch, &QTimer::timeout, &box, [&box] {
    if (StopRequested() && box.isVisible()) box.escapeButton()->click();
  });
  stopWatch.start(kStopCheckMs);
  return ResultOfButton(ExecMessageBox(box), style);
}

QStringList QtUi::NameFilters(const std::vector<FileFilter>& filters) {
  QStringList result;
  for (const FileFilter& filter : filters) {
    QStringList patterns;
    for (const QString& p :
         Q(filter.pattern).split(QRegularExpression("[;\\s]+"), Qt::SkipEmptyParts))
      for (const QString& variant : {p, p.toLower(), p.toUpper()})
        if (!patterns.contains(variant)) patterns << variant;
    result << Q(filter.description) + " (" + patterns.join(' ') + ")";
  }
  return result;
}

std::string QtUi::OpenFile(const OpenFileRequest& request) {
  return ExecOpenFile(Q(request.title), StartFolder(request.startFolder),
                      NameFilters(request.filters))
      .toStdString();
}

std::string QtUi::BrowseForFolder(const std::string& prompt) {
  QString folder = ExecFolder(Q(prompt), QDir::homePath());
  // The program adds the separator itself; the root folder keeps its one "/".
  while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
  return folder.toStdString();
}

void QtUi::Repaint() {
  if (refresh_) refresh_();
  QCoreApplication::processEvents(takeInput_ ? QEventLoop::AllEvents
                                             : QEventLoop::ExcludeUserInputEvents);
}

void QtUi::SetTopMost(bool onTop) {
  if (window_ == nullptr) return;
  if (window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  QWindow* native = window_->windowHandle();
  if (native == nullptr) {
    // No native window yet: the flag goes with the one made when the window shows.
    window_->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    return;
  }
  // Changing the widget's flag would hide the shown window and show it again, or make it
  // anew: it flickers and may be placed elsewhere. The window system moves the existing
  // one instead (X11: _NET_WM_STATE_ABOVE), and the widget's flags only follow.
  native->setFlag(Qt::WindowStaysOnTopHint, onTop);
  Qt::WindowFlags flags = window_->windowFlags();
  window_->overrideWindowFlags(flags.setFlag(Qt::WindowStaysOnTopHint, onTop));
}

void QtUi::Notify(const std::string& summary, const std::string& body) {
  NotifyDesktop(QDBusConnection::sessionBus(), Q(summary), Q(body));
}

void QtUi::Sleep(int milliseconds) {
  if (wait_) wait_();
  QDeadlineTimer deadline(std::max(0, milliseconds));
  do {
    Repaint();
    const qint64 left = deadline.remainingTime();
    if (left > 0) QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 20)));
  } while (!deadline.hasExpired());
}

void QtUi::ShowFolderWindow() {
  if (folderWindow_ == nullptr) return;
  if (refresh_) refresh_();
  folderWindow_->show();
  folderWindow_->raise();
  folderWindow_->activateWindow();
}

void QtUi::HideFolderWindow() {
  if (folderWindow_ != nullptr) folderWindow_->hide();
}

QMessageBox::StandardButton QtUi::ExecMessageBox(QMessageBox& box) {
  box.exec();
  return box.standardButton(box.clickedButton());
}

QString QtUi::ExecOpenFile(const QString& title, const QString& startFolder,
                           const QStringList& nameFilters) {
  QString selected = nameFilters.value(0);
  return QFileDialog::getOpenFileName(window_, title, startFolder, nameFilters.join(";;"),
                                      &selected, QFileDialog::HideNameFilterDetails);
}

QString QtUi::ExecFolder(const QString& caption, const QString& startFolder) {
  return QFileDialog::getExistingDirectory(window_, caption, startFolder);
}

}  // namespace quillet
