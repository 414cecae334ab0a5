// The console's output operations: report lines to stdout, counts to stderr.
#pragma once

#include <cstddef>

// Copies a report line into out (capacity bytes, terminated) with every "\r\n" turned into
// "\n": the console's stream adds its own line end ("\r\n" again on Windows). Pure.
void console_line_text(const char* text, char* out, std::size_t capacity);

// After this, the output operations print nothing, as a closed window shows nothing: the
// receive that the shutdown breaks off is still counted and reported by the loop.
void close_console_output();
void open_console_output();
