#include "jobs/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {

// The session bus the environment names now (one connection per address), so a bus started
// after the first try is still found.
QDBusConnection SessionBus() {
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  if (address.isEmpty())
    return QDBusConnection::sessionBus();
  const QString name = QStringLiteral("quillet-notifications ") + address;
  QDBusConnection bus = QDBusConnection::connectToBus(address, name);
  if (!bus.isConnected())
    QDBusConnection::disconnectFromBus(name);
  return bus;
}

} // namespace

bool NotifyDesktop(const QString &ASummary, const QString &ABody) {
  QDBusConnection bus = SessionBus();
  if (!bus.isConnected())
    return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: default)
  call << QStringLiteral("Quillet") << 0u << QString() << ASummary << ABody << QStringList()
       << QVariantMap() << -1;
  return bus.send(call);
}
