// The portable actions of the two windows: their message tables over the window shell.
#include "app/window_actions.h"

#include "app/dialog_layout.h"
#include "app/exchange.h"
#include "app/resources/resource_ids.h"
#include "app/window_shell.h"
#include "net/network.h"

namespace {

// The control a command names, or 0 when the high half of wparam is not zero.
int commanded_control(std::uintptr_t wparam)
{
    if (((wparam >> 16) & 0xFFFFu) != 0) return 0;
    return static_cast<int>(wparam & 0xFFFFu);
}

}  // namespace

void send_request_and_count()
{
    // Wraps instead of overflowing after 2^31 requests; the count is shown unsigned anyway.
    app_state.sent_count = static_cast<std::int32_t>(static_cast<std::uint32_t>(app_state.sent_count) + 1u);
    shell_show_number(IDC_SENT, static_cast<std::uint32_t>(app_state.sent_count));
    send_discovery(app_state.request_endpoint);
}

bool main_window_message(WindowHandle window, WindowMessage message, std::uintptr_t wparam)
{
    app_state.main_window.store(window);
    switch (message) {
        case WindowMessage::initialise:
            send_request_and_count();
            app_state.stop_flag.store(0);
            // The view is stored before the thread starts, so the thread can never find it unset.
            app_state.report_view.store(shell_find_control(window, IDC_LOG));
            shell_start_receiver_thread();
            return true;
        case WindowMessage::close:
        case WindowMessage::end_session:
        case WindowMessage::destroy:
            app_state.stop_flag.store(1);
            stop_network();
            shell_post_quit();
            return true;
        case WindowMessage::other: break;
    }
    switch (commanded_control(wparam)) {
        case IDC_REFRESH: send_request_and_count(); break;
        case IDC_CLEAR: shell_clear_report_view(); break;
        case IDC_ABOUT: shell_run_about_window(); break;
        default: break;
    }
    return false;
}

bool about_window_message(WindowHandle window, WindowMessage message, std::uintptr_t wparam)
{
    switch (message) {
        case WindowMessage::initialise: return true;
        case WindowMessage::close:
        case WindowMessage::end_session:
        case WindowMessage::destroy:
            // Closing only hides: the run goes on until the quit request ends every run.
            shell_hide_window(window);
            return false;
        case WindowMessage::other: break;
    }
    switch (commanded_control(wparam)) {
        case IDC_EMAIL: shell_open_target(window, kMailLink); break;
        case IDC_DONATE: shell_open_target(window, kDonationAddress); break;
        default: break;
    }
    return false;
}
