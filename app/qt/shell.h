// What the Qt shell's files share among themselves: the window builder, the window-thread
// bridge the receiver thread goes through, and the main window's run.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "app/dialog_layout.h"
#include "app/window_actions.h"

class QApplication;
class QFont;
class QRect;
class QWidget;

// The dialog font: 8 point, a sans-serif stand-in for "MS Sans Serif".
QFont dialog_font();

// The dialog base units of a font, as the Windows dialog manager measures them: the mean
// width of the 52 Latin letters (rounded) and the line height, in pixels.
struct DialogBaseUnits {
    int width;
    int height;
};
DialogBaseUnits dialog_base_units(const QFont& font);

// A rectangle in dialog units converted to pixels (a quarter of the base width horizontally,
// an eighth of the base height vertically, each rounded to the nearest pixel).
QRect dialog_units_to_pixels(const DialogBaseUnits& units, int x, int y, int width, int height);

// A window's message table: main_window_message or about_window_message.
using WindowTable = bool (*)(WindowHandle window, WindowMessage message, std::uintptr_t wparam);

// A top-level window with the template's title, fixed client size and controls, in template
// (and tab) order. Each control carries its number; a button's click and the window's close
// request go to table, the click as command_wparam(id).
QWidget* build_dialog_window(const DialogLayout& layout, WindowTable table);

// The control with number control_id in window, or nullptr.
QWidget* find_dialog_control(QWidget* window, int control_id);

// The main window, its buttons wired to main_window_message. Not shown yet.
QWidget* create_main_window();

// A fresh About window, its buttons wired to about_window_message. Not shown yet.
QWidget* create_about_window();

// Opens the main window, runs it until the quit request and tears it down; returns 0.
// The QApplication must exist.
int run_main_window();

// Lets the receiver thread reach the window thread: calls made through run_on_window_thread
// are carried out there while the bridge is open, and are dropped while it is closed.
void open_window_thread_bridge(QWidget* context);
void close_window_thread_bridge();

// Runs work on the window thread and returns when it has run, or at once (without running it)
// when no window serves calls. Called on the window thread itself, it runs work directly.
void run_on_window_thread(std::function<void()> work);

// Waits until every receiver thread this shell started has left receiver_loop, at most timeout.
// True when none is left.
bool wait_for_receiver_threads(std::chrono::milliseconds timeout);

// Notes SIGTERM, SIGINT and SIGHUP from now on, so that none of them kills the program outright;
// a signal noted before the window's run is served when the run begins.
void catch_termination_signals();

// A failed start-up's line, also raised as a desktop notification when stderr is not a terminal (the
// program was started from the desktop) and the session has a bus; otherwise nothing more.
void notify_startup_failure(const std::string& line);

// A line about LogFile raised as a desktop notification through the session's bus, when it has one; sent
// from the window thread without waiting for the desktop's answer.
void notify_log_trouble(const std::string& line);

// SIGTERM, SIGINT and SIGHUP, the session's end and the application's quit take the close path.
void install_shutdown_paths(QApplication& application);
