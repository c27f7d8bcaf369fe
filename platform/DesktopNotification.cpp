#include "platform/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace quillet {

void NotifyDesktop(const QDBusConnection& bus, const QString& summary, const QString& body) {
  if (!bus.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                     "/org/freedesktop/Notifications",
                                                     "org.freedesktop.Notifications", "Notify");
  // Application, no notification to replace, the icon, texts, no actions, no hints, the
  // server's own display time.
  call << QString("Quillet") << 0u << QString("video-x-generic") << summary << body << QStringList()
       << QVariantMap() << -1;
  // A blocking call, so the notification is out before a command-line run ends the
  // program; a missing service answers at once with an error, which is let go.
  bus.call(call, QDBus::Block, 2000);
}

}  // namespace quillet
