// Test support for the Qt shell.
#include "qt_test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <memory>

#include "app/qt/shell.h"

namespace {

struct Player {
    std::deque<std::function<void()>> steps;
    // The event-loop depth at which each unfinished step started, innermost last.
    std::vector<int> running_at;
};

void play_next(const std::shared_ptr<Player>& player)
{
    if (player->steps.empty()) return;
    const int depth = QThread::currentThread()->loopLevel();
    // A step that waits processes events too: the next one may start only once it has returned,
    // or while it is blocked in a run of its own (an About window's), one loop deeper.
    if (!player->running_at.empty() && depth <= player->running_at.back()) {
        QTimer::singleShot(20, qApp, [player] { play_next(player); });
        return;
    }
    std::function<void()> step = std::move(player->steps.front());
    player->steps.pop_front();
    QTimer::singleShot(20, qApp, [player] { play_next(player); });
    player->running_at.push_back(depth);
    step();
    player->running_at.pop_back();
}

}  // namespace

int play(std::vector<std::function<void()>> steps, int watchdog_ms)
{
    auto player = std::make_shared<Player>();
    player->steps.assign(steps.begin(), steps.end());
    QTimer::singleShot(20, qApp, [player] { play_next(player); });
    bool watchdog_fired = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        watchdog_fired = true;
        if (QWidget* window = main_window()) window->close();
    });
    watchdog.start(watchdog_ms);
    const int status = run_main_window();
    watchdog.stop();
    if (watchdog_fired) ADD_FAILURE_AT(__FILE__, __LINE__) << "the steps did not end the run; the watchdog did";
    return status;
}

QWidget* main_window()
{
    return static_cast<QWidget*>(app_state.main_window.load());
}

QWidget* main_control(int control_id)
{
    return find_dialog_control(main_window(), control_id);
}

QString main_text(int control_id)
{
    QWidget* control = main_control(control_id);
    if (control == nullptr) return QStringLiteral("<missing>");
    if (auto* view = qobject_cast<QPlainTextEdit*>(control)) return view->toPlainText();
    return control->property("text").toString();
}

QPlainTextEdit* report_view()
{
    return qobject_cast<QPlainTextEdit*>(main_control(1000));
}

std::vector<QWidget*> about_windows()
{
    std::vector<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == QLatin1String("About Orvane")) found.push_back(widget);
    return found;
}

void click(QWidget* control)
{
    QTest::mouseClick(control, Qt::LeftButton);
}

bool wait_until(const std::function<bool()>& done, int timeout_ms)
{
    // Not QTest::qWaitFor: it sleeps between rounds, and every call the receiver thread makes
    // would wait out that sleep. Posted calls wake this loop at once; the tick bounds the wait.
    QTimer tick;
    tick.start(5);
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > timeout_ms) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

std::vector<std::uint8_t> make_reply(const Ipv4Address& server, const Ipv4Address& offered, const Ipv4Address& relay,
                                     std::size_t length)
{
    std::vector<std::uint8_t> bytes(length, 0);
    bytes[0] = 2;  // BOOTREPLY
    bytes[1] = 1;
    bytes[2] = 6;
    for (int i = 0; i < 4; ++i) {
        bytes[16 + i] = offered[i];
        bytes[24 + i] = relay[i];
    }
    const std::uint8_t options[] = {0x63, 0x82, 0x53,      0x63,      53,        1,         2,
                                    54,   4,    server[0], server[1], server[2], server[3], 255};
    for (std::size_t i = 0; i < sizeof options; ++i) bytes[236 + i] = options[i];
    return bytes;
}

void send_to_reply_port(const std::vector<std::uint8_t>& bytes)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(kDhcpClientPort);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    close(fd);
}
