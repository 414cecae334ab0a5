// A recording window shell, and stand-ins for send_discovery and stop_network, for the table tests.
#include "fake_window_shell.h"

#include "app/window_shell.h"
#include "net/network.h"
#include "protocol/discovery_request.h"

std::vector<std::string> shell_calls;
ThreadStartView thread_start_view;

namespace {

void record(const std::string& line)
{
    shell_calls.push_back(line);
}

}  // namespace

WindowHandle fake_control(WindowHandle window, int control_id)
{
    // A made-up handle that is never dereferenced, distinct per window and control.
    return reinterpret_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window) * 0x10000u +
                                          static_cast<std::uintptr_t>(control_id));
}

void reset_fake_shell()
{
    reset_app_state();
    shell_calls.clear();
    thread_start_view = {};
}

void shell_show_number(int control_id, std::uint32_t value)
{
    record("show " + std::to_string(control_id) + " " + std::to_string(value));
}

WindowHandle shell_find_control(WindowHandle window, int control_id)
{
    record("find " + std::to_string(control_id));
    return fake_control(window, control_id);
}

void shell_start_receiver_thread()
{
    record("thread");
    thread_start_view = {app_state.report_view.load(), app_state.stop_flag.load(), app_state.sent_count};
}

void shell_clear_report_view()
{
    record("clear");
}

void shell_run_about_window()
{
    record("about");
}

void shell_hide_window(WindowHandle)
{
    record("hide");
}

void shell_post_quit()
{
    record("quit");
}

void shell_open_target(WindowHandle, const char* target)
{
    record(std::string("open ") + target);
}

// Nothing leaves the test: the request is never broadcast.
int send_discovery(Endpoint endpoint)
{
    record("send " + std::to_string(endpoint));
    return static_cast<int>(kDhcpMessageSize);
}

void stop_network()
{
    record("stop_network");
}
