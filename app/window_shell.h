// What each window shell (Win32 or Qt) provides to the portable window actions.
// Every operation acts on the window thread; the shells carry them out with their own calls.
#pragma once

#include <cstdint>

#include "app/app_state.h"

// Shows value as an unsigned decimal in control control_id of app_state.main_window.
void shell_show_number(int control_id, std::uint32_t value);

// The handle of control control_id in window.
WindowHandle shell_find_control(WindowHandle window, int control_id);

// Starts the receiver thread on receiver_loop; the thread is never joined.
void shell_start_receiver_thread();

// Empties the report view.
void shell_clear_report_view();

// Runs a new About window; returns when its run ends.
void shell_run_about_window();

// Hides window.
void shell_hide_window(WindowHandle window);

// Posts the quit request with code 0, which ends every modal run at once.
void shell_post_quit();

// Hands target to the desktop with the verb "open"; the outcome is not examined.
void shell_open_target(WindowHandle window, const char* target);
