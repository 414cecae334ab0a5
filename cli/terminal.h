// What the probe asks of the terminal its output goes to: whether there is one, and how wide it is. A
// seam per platform: terminal_linux.cpp and terminal_win32.cpp.
#pragma once

// True when standard output is a terminal (a person reading), false for a pipe, a file or a journal.
bool output_is_terminal();

// The columns of the terminal on standard output; 0 when it is none or does not say.
int terminal_columns();
