// The console's report: the window program's lines on stdout, its received count on stderr.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Copies a report line into out (capacity bytes, terminated) with every "\r\n" turned into
// "\n": the console's stream adds its own line end ("\r\n" again on Windows). Pure.
void console_line_text(const char* text, char* out, std::size_t capacity);

// text as it may be shown on a terminal: control characters (C0, DEL, C1) and bytes that are no UTF-8
// as \xNN, and Unicode's format characters (bidi controls, zero-width marks) as \u{202e}, so that a name
// or a value typed or planted by someone else cannot steer the terminal nor hide what it says. Pure.
std::string terminal_text(const std::string& text);

// "Packets Recieved: N" on stderr, the count shown unsigned as the window's field shows it.
void print_received_count(std::int32_t count);

// One report line on stdout, with the console's line end, shown at once also through a pipe. False
// when it could not be written (a closed pipe, a full disk).
bool print_report_line(const char* text);

// One line and its line end on stream, flushed at once. False when the stream took it only in part.
bool print_line(std::FILE* stream, const std::string& line);
