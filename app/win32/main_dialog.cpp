// Windows implementation of the main window's handler: the dialog manager's messages onto the table.
#include "app/win32/dialogs.h"

WindowMessage window_message_of(UINT message)
{
    switch (message) {
        case WM_INITDIALOG: return WindowMessage::initialise;
        case WM_CLOSE: return WindowMessage::close;
        case WM_QUERYENDSESSION: return WindowMessage::end_session;
        case WM_DESTROY: return WindowMessage::destroy;
        default: return WindowMessage::other;
    }
}

INT_PTR CALLBACK main_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM)
{
    // The buttons are told apart by wparam alone, whatever the message: the table does that.
    const bool handled = main_window_message(window, window_message_of(message), wparam);
    // The dialog manager answers the end-of-session query with the message result, not with this
    // return value: TRUE there lets the session end, as the program is closing anyway.
    if (handled && message == WM_QUERYENDSESSION) SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
    return handled ? TRUE : FALSE;
}
