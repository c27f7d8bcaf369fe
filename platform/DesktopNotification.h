#pragma once
// A notification on the desktop through the freedesktop notification service on a
// D-Bus session bus.

#include <QString>

class QDBusConnection;

namespace quillet {

// Shows summary and body as the program's notification. Without a bus, or without a
// notification service on it, nothing happens and nothing is said; it waits at most a
// moment for the service's answer.
void NotifyDesktop(const QDBusConnection& bus, const QString& summary, const QString& body);

}  // namespace quillet
