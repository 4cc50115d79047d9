#include "tray/platform/linux/status_notifier.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QVariant>

bool status_notifier_host_registered() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                         QStringLiteral("/StatusNotifierWatcher"),
                         QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
  if (!watcher.isValid()) return false;
  return watcher.property("IsStatusNotifierHostRegistered").toBool();
}
