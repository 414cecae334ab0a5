// Qt shell on Linux: a failed start-up told to the desktop, whose user started the program from a menu
// and would otherwise see nothing: one notification through the freedesktop notification service.
#include <unistd.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdlib>

#include "app/qt/shell.h"
#include "host/privileges.h"

namespace {

constexpr int kNotifyTimeoutMs = 2000;

}  // namespace

void notify_startup_failure(const std::string& line)
{
    // From a terminal the line on stderr is seen; only a start from the desktop needs the notification.
    if (isatty(STDERR_FILENO)) return;
    // Nothing privileged is needed to talk to the desktop; a start-up that failed may still hold rights.
    drop_privileges();
    // The session's bus is the one its environment names. Without one, nothing more is done: the bus
    // library is handed that address alone, so it never tries to launch a bus of its own.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || *address == '\0') return;
    int argc = 1;
    char name[] = "orvane";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    const QString connection_name = QStringLiteral("orvane-startup-notice");
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(address), connection_name);
        if (bus.isConnected()) {
            QDBusMessage notify = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
                QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
            notify << QStringLiteral("Orvane") << 0u << QStringLiteral("orvane")
                   << QStringLiteral("Orvane could not start") << QString::fromLocal8Bit(line.c_str()) << QStringList()
                   << QVariantMap() << -1;
            bus.call(notify, QDBus::Block, kNotifyTimeoutMs);
        }
    }
    QDBusConnection::disconnectFromBus(connection_name);
}
