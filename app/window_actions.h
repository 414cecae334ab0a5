// The portable actions of the two windows: their message tables over the window shell.
#pragma once

#include <cstdint>

#include "app/app_state.h"

// The messages the tables name; a shell maps its own messages onto these.
enum class WindowMessage { initialise, close, end_session, destroy, other };

// Raises sent_count, shows it in IDC_SENT and broadcasts the request from the request endpoint.
void send_request_and_count();

// The main window's table. wparam carries a command as the platform packs it: the control
// number in the low 16 bits and the notification in the high 16 bits, so a button acts
// on any message whose wparam says so. Returns true where the window handler returns TRUE.
bool main_window_message(WindowHandle window, WindowMessage message, std::uintptr_t wparam);

// The About window's table, in the same manner.
bool about_window_message(WindowHandle window, WindowMessage message, std::uintptr_t wparam);

// The wparam that a button's click notification carries.
constexpr std::uintptr_t command_wparam(int control_id)
{
    return static_cast<std::uintptr_t>(control_id) & 0xFFFFu;
}
