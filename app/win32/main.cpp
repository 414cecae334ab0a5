// Windows implementation of the program entry: start-up, then the main window's modal run.
#include <windows.h>

#include "app/app_state.h"
#include "app/resources/resource_ids.h"
#include "app/startup.h"
#include "app/win32/dialogs.h"

// The command line and the show flag are ignored; the template says how the window looks.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // A failed start-up shows nothing: no window has been made yet.
    if (start_up().failed_step != StartupStep::none) return 1;
    app_state.instance = instance;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, main_dialog_proc, 0);
    return 0;
}
