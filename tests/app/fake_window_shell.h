// A window shell that records what the window actions ask of it, plus stand-ins for the send and
// the shutdown of the socket library, so the tables run without a window system or a network.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"

// Every call, in order, as one line: "show 1003 1", "send 7", "find 1000", "thread", "clear",
// "about", "hide", "quit", "open <target>", "stop_network".
extern std::vector<std::string> shell_calls;

// What the receiver thread would have found when it started.
struct ThreadStartView {
    WindowHandle report_view = nullptr;
    std::int32_t stop_flag = -1;
    std::int32_t sent_count = -1;
};
extern ThreadStartView thread_start_view;

// The handle shell_find_control hands back for control_id of window.
WindowHandle fake_control(WindowHandle window, int control_id);

// Puts app_state and the records back to a fresh start.
void reset_fake_shell();
