// Windows implementation of the About window's handler: the dialog manager's messages onto the table.
#include "app/win32/dialogs.h"

INT_PTR CALLBACK about_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM)
{
    return about_window_message(window, window_message_of(message), wparam) ? TRUE : FALSE;
}
