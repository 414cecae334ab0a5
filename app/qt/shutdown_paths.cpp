// Qt shell on Linux: the ways a run can be asked to end besides the close box, each taking
// the main window's close path (termination signals, the session's end, the application's quit).
#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "app/qt/shell.h"

namespace {

// A signal handler may only write to a pipe; the window thread reads it in its run.
int signal_pipe[2] = {-1, -1};

void note_signal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signal_pipe[1], &byte, 1);
    errno = saved;
}

void take_close_path(WindowMessage message)
{
    main_window_message(app_state.main_window.load(), message, 0);
}

}  // namespace

void catch_termination_signals()
{
    if (signal_pipe[0] >= 0 || pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

void install_shutdown_paths(QApplication& application)
{
    catch_termination_signals();
    if (signal_pipe[0] >= 0) {
        // A signal that came before the run began is served as soon as the run begins.
        auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, &application);
        QObject::connect(notifier, &QSocketNotifier::activated, &application, [] {
            char bytes[64];
            while (read(signal_pipe[0], bytes, sizeof bytes) > 0) {
            }
            take_close_path(WindowMessage::close);
        });
    }
#ifndef QT_NO_SESSIONMANAGER
    // The end-of-session query: the close path, and the session manager gets the default answer.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &application,
                     [](QSessionManager&) { take_close_path(WindowMessage::end_session); });
#endif
    // Whatever else ends the application's run counts as the window's destruction.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &application,
                     [] { take_close_path(WindowMessage::destroy); });
}
