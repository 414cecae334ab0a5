// The receiver loop's two output operations. The loop calls them; each window program (the Qt
// window, the Win32 window) and each test's fake window links its own definitions.
// Both complete before they return and must do nothing harmful while no window exists.
#pragma once

#include <cstdint>

// Shows the received count as an unsigned decimal.
void show_received_count(std::int32_t count);

// Inserts one report line, ending in "\r\n", at the report view's caret, replacing any selection.
void append_report_line(const char* text);
