// A Qt style plugin that runs inside orvane as any user's own code could (QT_PLUGIN_PATH, QT_STYLE_OVERRIDE):
// it writes down every descriptor of the process, which of them are packet sockets or UDP sockets on port 67 or
// 68, whether a capture filter can be set on any, whether a packet socket can be opened, and the capability
// sets. Then it clicks About and Email Me, whose child the test looks at. Its report goes to
// $ORVANE_SPY_REPORT.
#include <QApplication>
#include <QPushButton>
#include <QStyleFactory>
#include <QStylePlugin>
#include <QTimer>

#include <arpa/inet.h>
#include <dirent.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

int socket_option(int fd, int name)
{
    int value = -1;
    socklen_t size = sizeof value;
    return getsockopt(fd, SOL_SOCKET, name, &value, &size) == 0 ? value : -1;
}

void write_report(const char* path)
{
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr) return;
    int packet = 0, dhcp_udp = 0, filters_set = 0;
    DIR* folder = opendir("/proc/self/fd");
    while (dirent* entry = folder != nullptr ? readdir(folder) : nullptr) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd == dirfd(folder)) continue;
        char target[256] = {};
        const ssize_t length = readlink((std::string("/proc/self/fd/") + entry->d_name).c_str(), target, 255);
        std::fprintf(out, "fd %d %s\n", fd, length > 0 ? target : "?");
        const int domain = socket_option(fd, SO_DOMAIN);
        if (domain == AF_PACKET) ++packet;
        if (domain == AF_INET && socket_option(fd, SO_TYPE) == SOCK_DGRAM) {
            sockaddr_in local{};
            socklen_t size = sizeof local;
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
            if (ntohs(local.sin_port) == 67 || ntohs(local.sin_port) == 68) ++dhcp_udp;
        }
        // A filter that takes every frame, tried on every socket: none may let it replace what it reads.
        if (domain == AF_PACKET || domain == AF_INET) {
            sock_filter all{BPF_RET | BPF_K, 0, 0, 0xffff};
            sock_fprog program{1, &all};
            if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0 && domain == AF_PACKET)
                ++filters_set;
        }
    }
    if (folder != nullptr) closedir(folder);
    const int own = socket(AF_PACKET, SOCK_RAW, htons(0x0003));
    std::fprintf(out, "packet_sockets %d\nudp_67_68 %d\nfilters_set %d\nnew_packet_socket %s\n", packet, dhcp_udp,
                 filters_set, own >= 0 ? "opened" : std::strerror(errno));
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Cap", 0) == 0) std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
}

void click_button(const QString& text)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        for (QPushButton* button : window->findChildren<QPushButton*>())
            if (button->text() == text && button->isVisible()) {
                button->click();
                return;
            }
}

}  // namespace

class StyleSpyPlugin : public QStylePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "style_spy.json")

public:
    QStyle* create(const QString&) override
    {
        // Once the window is up: the report, then the About window and its Email Me button.
        QTimer::singleShot(1500, qApp, [] {
            if (const char* path = std::getenv("ORVANE_SPY_REPORT")) write_report(path);
            // Set before the click: About runs a window of its own, inside which the second click comes.
            QTimer::singleShot(500, qApp, [] { click_button(QStringLiteral("Email Me")); });
            click_button(QStringLiteral("About"));
        });
        return QStyleFactory::create(QStringLiteral("Fusion"));
    }
};

#include "style_spy_plugin.moc"
