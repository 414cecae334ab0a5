// Qt shell: the window shell operations the portable window actions call, the bridge that
// carries the receiver thread's calls onto the window thread, and the receiver thread itself.
#include <QByteArray>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QUrl>
#include <QWidget>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/qt/shell.h"
#include "app/receiver_loop.h"
#include "app/window_shell.h"

namespace {

struct WindowThreadBridge {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;           // a window's run serves calls
    QObject* context = nullptr;  // lives on the window thread; calls are queued to it
    std::thread::id window_thread;
    int running_receivers = 0;
};

// Never freed: a receiver thread may still be on its way out when the process ends.
WindowThreadBridge& bridge()
{
    static auto* const the_bridge = new WindowThreadBridge;
    return *the_bridge;
}

}  // namespace

void open_window_thread_bridge(QWidget* context)
{
    WindowThreadBridge& b = bridge();
    const std::lock_guard lock(b.mutex);
    b.context = context;
    b.window_thread = std::this_thread::get_id();
    b.open = true;
}

void close_window_thread_bridge()
{
    WindowThreadBridge& b = bridge();
    const std::lock_guard lock(b.mutex);
    b.open = false;
    b.context = nullptr;
    // A caller waiting for a call that will never run goes on at once.
    b.changed.notify_all();
}

void run_on_window_thread(std::function<void()> work)
{
    WindowThreadBridge& b = bridge();
    std::unique_lock lock(b.mutex);
    if (!b.open) return;
    if (std::this_thread::get_id() == b.window_thread) {
        lock.unlock();
        work();
        return;
    }
    // Not Qt::BlockingQueuedConnection: its wait cannot be broken off, and once the window's
    // run has ended nobody would ever serve the call. This wait ends when the bridge closes.
    auto done = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        b.context,
        [work = std::move(work), done] {
            WindowThreadBridge& served = bridge();
            {
                const std::lock_guard inner(served.mutex);
                if (!served.open) return;
            }
            work();
            const std::lock_guard inner(served.mutex);
            *done = true;
            served.changed.notify_all();
        },
        Qt::QueuedConnection);
    b.changed.wait(lock, [&] { return *done || !b.open; });
}

bool wait_for_receiver_threads(std::chrono::milliseconds timeout)
{
    WindowThreadBridge& b = bridge();
    std::unique_lock lock(b.mutex);
    return b.changed.wait_for(lock, timeout, [&] { return b.running_receivers == 0; });
}

void shell_start_receiver_thread()
{
    WindowThreadBridge& b = bridge();
    {
        const std::lock_guard lock(b.mutex);
        b.running_receivers += 1;
    }
    std::thread([] {
        receiver_loop();
        WindowThreadBridge& finished = bridge();
        const std::lock_guard lock(finished.mutex);
        finished.running_receivers -= 1;
        finished.changed.notify_all();
    }).detach();
}

void shell_show_number(int control_id, std::uint32_t value)
{
    auto* window = static_cast<QWidget*>(app_state.main_window.load());
    if (auto* field = qobject_cast<QLabel*>(find_dialog_control(window, control_id)))
        field->setText(QString::number(value));
}

WindowHandle shell_find_control(WindowHandle window, int control_id)
{
    return find_dialog_control(static_cast<QWidget*>(window), control_id);
}

void shell_clear_report_view()
{
    if (auto* view = qobject_cast<QPlainTextEdit*>(static_cast<QWidget*>(app_state.report_view.load()))) view->clear();
}

void shell_hide_window(WindowHandle window)
{
    if (window != nullptr) static_cast<QWidget*>(window)->hide();
}

void shell_post_quit()
{
    // exit, not quit: quit would first ask every window to close, and the About windows only hide.
    // exit ends the application's run and every nested run inside it.
    QCoreApplication::exit(0);
}

void shell_open_target(WindowHandle, const char* target)
{
    // fromEncoded keeps the bytes as they are: the "%40" stays escaped and nothing is added.
    // The desktop's default handler (xdg-open) gets the target; its outcome is not examined.
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray(target), QUrl::TolerantMode));
}
