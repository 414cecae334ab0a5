// The Win32 dialog procedures over a recording shell: which window messages reach which table row,
// and what each procedure returns to the dialog manager.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/resources/resource_ids.h"
#include "app/win32/dialogs.h"
#include "fake_window_shell.h"

namespace {

using Calls = std::vector<std::string>;

HWND fake_window(std::uintptr_t value)
{
    return reinterpret_cast<HWND>(value);
}

TEST(DialogProcs, MainWindowMessagesAndResults)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wparam;
        INT_PTR result;
        Calls calls;
    };
    const Case cases[] = {
        {"initialisation", WM_INITDIALOG, 0, TRUE, {"show 1003 1", "send 0", "find 1000", "thread"}},
        {"close", WM_CLOSE, 0, TRUE, {"stop_network", "quit"}},
        {"end of session", WM_QUERYENDSESSION, 0, TRUE, {"stop_network", "quit"}},
        {"destruction", WM_DESTROY, 0, TRUE, {"stop_network", "quit"}},
        {"Refresh clicked", WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_CLICKED), FALSE, {"show 1003 1", "send 0"}},
        {"Clear clicked", WM_COMMAND, MAKEWPARAM(IDC_CLEAR, BN_CLICKED), FALSE, {"clear"}},
        {"About clicked", WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), FALSE, {"about"}},
        // The message number is never tested for the buttons.
        {"Refresh's number in a timer message", WM_TIMER, IDC_REFRESH, FALSE, {"show 1003 1", "send 0"}},
        {"Clear's number in a private message", WM_APP + 3, IDC_CLEAR, FALSE, {"clear"}},
        {"Refresh losing the focus", WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_KILLFOCUS), FALSE, {}},
        {"painting", WM_PAINT, 0, FALSE, {}},
        {"Escape from the dialog manager", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), FALSE, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake_shell();
        EXPECT_EQ(main_dialog_proc(fake_window(0x40), c.message, c.wparam, 0), c.result);
        EXPECT_EQ(shell_calls, c.calls);
        EXPECT_EQ(app_state.main_window.load(), fake_window(0x40));
    }
}

TEST(DialogProcs, AboutWindowMessagesAndResults)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wparam;
        INT_PTR result;
        Calls calls;
    };
    const Case cases[] = {
        {"initialisation", WM_INITDIALOG, 0, TRUE, {}},
        {"close hides", WM_CLOSE, 0, FALSE, {"hide"}},
        {"end of session hides", WM_QUERYENDSESSION, 0, FALSE, {"hide"}},
        {"destruction hides", WM_DESTROY, 0, FALSE, {"hide"}},
        {"Email Me clicked",
         WM_COMMAND,
         MAKEWPARAM(IDC_EMAIL, BN_CLICKED),
         FALSE,
         {"open mailto:author@orvane.example.org"}},
        {"Donate's number in a private message",
         WM_APP,
         IDC_DONATE,
         FALSE,
         {"open https://www.paypal.com/xclick/business=author%40orvane.example.org&item_name=Orvane+Donation"}},
        {"Donate gaining the focus", WM_COMMAND, MAKEWPARAM(IDC_DONATE, BN_SETFOCUS), FALSE, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake_shell();
        EXPECT_EQ(about_dialog_proc(fake_window(0x41), c.message, c.wparam, 0), c.result);
        EXPECT_EQ(shell_calls, c.calls);
        EXPECT_EQ(app_state.stop_flag.load(), 0);
    }
}

// What the dialog manager itself answers the sender when a procedure runs in a real dialog. A
// message-only dialog needs no display, so this runs under Wine without an X server.
TEST(DialogProcs, TheDialogManagerLetsTheSessionEnd)
{
    struct Case {
        const char* name;
        DLGPROC procedure;
        UINT message;
        LRESULT answer;  // what SendMessage returns
        Calls calls;
    };
    const Case cases[] = {
        {"main window: the session may end", main_dialog_proc, WM_QUERYENDSESSION, TRUE, {"stop_network", "quit"}},
        {"About window: the session may end", about_dialog_proc, WM_QUERYENDSESSION, TRUE, {"hide"}},
        // Any other message's result stays 0, as it was.
        {"main window: close", main_dialog_proc, WM_CLOSE, 0, {"stop_network", "quit"}},
    };
    // A classic template: no controls, no menu, the default class, no title and no font.
    alignas(4) static const WORD kTemplate[16] = {LOWORD(WS_POPUP), HIWORD(WS_POPUP), 0, 0, 0, 0, 0, 100, 50};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake_shell();
        HWND dialog = CreateDialogIndirectParamA(
            GetModuleHandleA(nullptr), reinterpret_cast<const DLGTEMPLATE*>(kTemplate), HWND_MESSAGE, c.procedure, 0);
        ASSERT_NE(dialog, nullptr) << GetLastError();
        shell_calls.clear();
        EXPECT_EQ(SendMessageA(dialog, c.message, 0, 0), c.answer);
        EXPECT_EQ(shell_calls, c.calls);
        DestroyWindow(dialog);
    }
}

}  // namespace
