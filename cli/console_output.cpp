// The console's report: the window program's lines on stdout, its received count on stderr.
#include "cli/console_output.h"

#include <cinttypes>
#include <cstdio>

#include "protocol/report_lines.h"

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

void print_received_count(std::int32_t count)
{
    std::fprintf(stderr, "Packets Recieved: %" PRIu32 "\n", static_cast<std::uint32_t>(count));
}

void print_report_line(const char* text)
{
    char line[kReportTextSize];
    console_line_text(text, line, sizeof line);
    std::fputs(line, stdout);
    std::fflush(stdout);
}
