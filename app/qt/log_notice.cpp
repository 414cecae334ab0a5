// Qt shell on Linux: the word on LogFile raised as a desktop notification, for a user who started the
// program from a menu and has no terminal to read it on.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdlib>
#include <string>

#include "app/qt/shell.h"

void notify_log_trouble(const std::string& line)
{
    // Only the bus the session's environment names, so the bus library never launches one of its own.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || *address == '\0') return;
    run_on_window_thread([line, bus_address = QString::fromLocal8Bit(address)] {
        // One connection for the run, made on first use and found again by its name.
        QDBusConnection bus = QDBusConnection::connectToBus(bus_address, QStringLiteral("orvane-log-notice"));
        if (!bus.isConnected()) return;
        QDBusMessage notify = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        notify << QStringLiteral("Orvane") << 0u << QStringLiteral("orvane") << QStringLiteral("Orvane: LogFile")
               << QString::fromLocal8Bit(line.c_str()) << QStringList() << QVariantMap() << -1;
        // Sent without waiting for the answer: the window thread never waits on the desktop.
        bus.send(notify);
    });
}
