// Linux: the terminal on standard output, through isatty and the TIOCGWINSZ request.
#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

bool output_is_terminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

int terminal_columns()
{
    winsize size{};
    if (!output_is_terminal() || ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}
