// Windows: the console on standard output, through the C runtime and the console's screen buffer.
#include "cli/terminal.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

bool output_is_terminal()
{
    return _isatty(_fileno(stdout)) != 0;
}

int terminal_columns()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!output_is_terminal() || !GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}
