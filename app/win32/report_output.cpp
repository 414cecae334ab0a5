// Windows implementation of the receiver loop's output operations: synchronous messages to the main window.
#include "app/report_output.h"

#include <windows.h>

#include "app/app_state.h"
#include "app/resources/resource_ids.h"

// Both calls wait until the window thread has carried them out; a window that is gone ignores them.
void show_received_count(std::int32_t count)
{
    SetDlgItemInt(static_cast<HWND>(app_state.main_window.load()), IDC_RECEIVED, static_cast<UINT>(count), FALSE);
}

void append_report_line(const char* text)
{
    SendMessageA(static_cast<HWND>(app_state.report_view.load()), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}
