// Windows implementation: the two dialog procedures and the mapping of window messages onto the tables.
#pragma once

#include <windows.h>

#include "app/window_actions.h"

// The main window's handler: TRUE for initialisation and the three closing messages, FALSE otherwise.
// To the end-of-session query it also sets the message result to TRUE: the session may end.
INT_PTR CALLBACK main_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The About window's handler: TRUE for initialisation, FALSE otherwise (closing only hides it).
INT_PTR CALLBACK about_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The table message a window message stands for; everything but the four named ones is "other".
WindowMessage window_message_of(UINT message);
