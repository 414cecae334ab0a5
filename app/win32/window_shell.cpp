// Windows implementation of the window shell: each operation is one call of the Windows user interface.
#include "app/window_shell.h"

#include <windows.h>

#include <shellapi.h>

#include "app/receiver_loop.h"
#include "app/resources/resource_ids.h"
#include "app/win32/dialogs.h"

namespace {

HWND hwnd_of(WindowHandle handle)
{
    return static_cast<HWND>(handle);
}

DWORD WINAPI receiver_thread(LPVOID)
{
    receiver_loop();
    return 0;
}

}  // namespace

void shell_show_number(int control_id, std::uint32_t value)
{
    SetDlgItemInt(hwnd_of(app_state.main_window.load()), control_id, value, FALSE);
}

WindowHandle shell_find_control(WindowHandle window, int control_id)
{
    return GetDlgItem(hwnd_of(window), control_id);
}

void shell_start_receiver_thread()
{
    // Neither the handle nor the thread identifier is kept: the thread is never joined.
    CreateThread(nullptr, 0, receiver_thread, nullptr, 0, nullptr);
}

void shell_clear_report_view()
{
    SendMessageA(hwnd_of(app_state.report_view.load()), WM_SETTEXT, 0, 0);
}

void shell_run_about_window()
{
    // No owner, so the main window stays enabled while the About window runs.
    DialogBoxParamA(static_cast<HINSTANCE>(app_state.instance), MAKEINTRESOURCEA(IDD_ABOUT), nullptr, about_dialog_proc,
                    0);
}

void shell_hide_window(WindowHandle window)
{
    ShowWindow(hwnd_of(window), SW_HIDE);
}

void shell_post_quit()
{
    PostQuitMessage(0);
}

void shell_open_target(WindowHandle window, const char* target)
{
    ShellExecuteA(hwnd_of(window), "open", target, nullptr, nullptr, 0);
}
