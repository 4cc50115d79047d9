#include "tray/platform/linux/desktop_notification.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>

namespace {

constexpr int kShownMs = 5000;

}  // namespace

bool show_desktop_notification(const std::string& title, const std::string& text) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusInterface notifications(QStringLiteral("org.freedesktop.Notifications"),
                               QStringLiteral("/org/freedesktop/Notifications"),
                               QStringLiteral("org.freedesktop.Notifications"), bus);
  if (!notifications.isValid()) return false;
  // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, timeout)
  const QDBusReply<unsigned> reply =
      notifications.call(QStringLiteral("Notify"), QStringLiteral("Tovik"), 0u,
                         QStringLiteral("tovik"), QString::fromStdString(title),
                         QString::fromStdString(text), QStringList(), QVariantMap(), kShownMs);
  return reply.isValid();
}
