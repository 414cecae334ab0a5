// The console's output operations: report lines to stdout, counts to stderr.
#include "cli/console_output.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>

#include "common/app_state.h"
#include "discovery/report_output.h"

namespace {

std::atomic<bool> console_open{true};

}  // namespace

void console_line_text(const char* text, char* out, std::size_t capacity)
{
    if (capacity == 0) return;
    std::size_t used = 0;
    for (const char* p = text; *p != '\0' && used + 1 < capacity; ++p) {
        if (p[0] == '\r' && p[1] == '\n') continue;
        out[used++] = *p;
    }
    out[used] = '\0';
}

void close_console_output()
{
    console_open.store(false);
}

void open_console_output()
{
    console_open.store(true);
}

void show_received_count(std::int32_t count)
{
    if (!console_open.load()) return;
    std::fprintf(stderr, "Packets Recieved: %" PRIu32 "\n", static_cast<std::uint32_t>(count));
}

void append_report_line(const char* text)
{
    if (!console_open.load()) return;
    char line[kReportTextSize];
    console_line_text(text, line, sizeof line);
    std::fputs(line, stdout);
    // Each line is shown as the loop writes it, also when stdout is a pipe.
    std::fflush(stdout);
}
