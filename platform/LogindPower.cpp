// Powering the machine off after a conversion. systemd-logind lets the user at the
// machine do it; where the system bus is missing or logind says no, systemctl gets its
// chance. Nothing is reported either way: the program simply stays open.
#include "platform/LogindPower.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>

namespace quillet {
namespace {

bool PowerOffThroughLogind() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call =
      QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", "PowerOff");
  call << false;  // not interactive: an unattended run must not wait at a password prompt
  return bus.call(call, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
}

}  // namespace

void LogindPower::ShutDownWindows() {
  if (PowerOffThroughLogind()) return;
  QProcess::execute("systemctl", {"poweroff"});  // started directly, no shell in between
}

}  // namespace quillet
