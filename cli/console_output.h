// The console's report: the window program's lines on stdout, its received count on stderr.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies a report line into out (capacity bytes, terminated) with every "\r\n" turned into
// "\n": the console's stream adds its own line end ("\r\n" again on Windows). Pure.
void console_line_text(const char* text, char* out, std::size_t capacity);

// "Packets Recieved: N" on stderr, the count shown unsigned as the window's field shows it.
void print_received_count(std::int32_t count);

// One report line on stdout, with the console's line end, shown at once also through a pipe.
void print_report_line(const char* text);
