// A stand-in for the desktop's notification service, for the tests: it owns the freedesktop name on the
// session bus given in DBUS_SESSION_BUS_ADDRESS, writes each Notify call's arguments to the file named on
// its command line, one line each, and answers it; it prints "ready" on stdout once the name is its own.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

class NotificationService : public QDBusVirtualObject {
public:
    explicit NotificationService(QString record) : record_(std::move(record)) {}

    QString introspect(const QString&) const override
    {
        return {};
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QStringLiteral("Notify")) return false;
        QStringList fields;
        for (const QVariant& argument : message.arguments()) fields << argument.toString();
        QFile file(record_);
        if (file.open(QIODevice::Append)) file.write((fields.join(QLatin1Char('|')) + QLatin1Char('\n')).toUtf8());
        connection.send(message.createReply(QVariant::fromValue(1u)));
        return true;
    }

private:
    QString record_;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: notification_stand_in RECORD_FILE\n");
        return 2;
    }
    NotificationService service(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &service) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "notification_stand_in: cannot own the service on the session bus\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}
