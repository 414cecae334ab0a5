// Qt shell: the main window (template IDD_MAIN) and its run.
#include <QApplication>
#include <QScreen>
#include <QWidget>

#include "app/qt/shell.h"

namespace {

// A completed receive is logged whole before the process ends: the receiver thread, woken by
// stop_network, needs only to finish the datagram in hand. It is not waited for beyond this.
constexpr std::chrono::milliseconds kReceiverGrace{500};

}  // namespace

QWidget* create_main_window()
{
    return build_dialog_window(main_dialog_layout(), &main_window_message);
}

int run_main_window()
{
    QWidget* window = create_main_window();
    open_window_thread_bridge(window);
    // As with a dialog's initialisation: before the window shows, the first request goes out
    // and the receiver thread starts.
    main_window_message(window, WindowMessage::initialise, 0);
    // Placed at 0,0 of the screen, not centred.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) window->move(screen->geometry().topLeft());
    window->show();
    QApplication::exec();
    // Nobody serves the receiver thread's calls from here on; a waiting one goes on at once.
    close_window_thread_bridge();
    wait_for_receiver_threads(kReceiverGrace);
    app_state.report_view.store(nullptr);
    app_state.main_window.store(nullptr);
    delete window;
    return 0;
}
