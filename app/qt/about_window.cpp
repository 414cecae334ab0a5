// Qt shell: the About window (template IDD_ABOUT) and its run.
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "app/qt/shell.h"
#include "app/window_shell.h"

QWidget* create_about_window()
{
    return build_dialog_window(about_dialog_layout(), &about_window_message);
}

void shell_run_about_window()
{
    QWidget* about = create_about_window();
    about_window_message(about, WindowMessage::initialise, 0);
    // At the top-left corner of the screen, over the main window; it has no owner, so the
    // main window stays usable.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) about->move(screen->geometry().topLeft());
    about->show();
    about->raise();
    about->activateWindow();
    // A run of its own: closing only hides the window, and only the quit request ends the run
    // (QCoreApplication::exit ends every nested run at once).
    QEventLoop run;
    run.exec();
    delete about;
}
