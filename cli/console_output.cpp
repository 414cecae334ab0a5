// The console's report: the window program's lines on stdout, its received count on stderr.
#include "cli/console_output.h"

#include <cinttypes>
#include <cstdio>

#include "cli/format_characters.h"
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

namespace {

// The length of the UTF-8 sequence at text[at] and its code point, or 0 when none starts there (overlong
// forms, surrogates and code points above U+10FFFF are none).
std::size_t utf8_sequence_length(const std::string& text, std::size_t at, unsigned int& value)
{
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(at + k) & 0x3Fu);
    }
    const unsigned int smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    // C1 controls (U+0080 to U+009F) steer some terminals as much as ESC does.
    if (value <= 0x9F) return 0;
    return length;
}

}  // namespace

std::string terminal_text(const std::string& text)
{
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x20 && byte < 0x7F) {
            shown.push_back(text[at++]);
            continue;
        }
        unsigned int value = 0;
        const std::size_t length = byte >= 0x80 ? utf8_sequence_length(text, at, value) : 0;
        // A format character is shown by its number: a right-to-left override would turn the rest around.
        if (length > 0 && is_format_character(value)) {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\u{%x}", value);
            shown += escaped;
            at += length;
            continue;
        }
        if (length > 0) {
            shown.append(text, at, length);
            at += length;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        shown += escaped;
        at += 1;
    }
    return shown;
}

void print_received_count(std::int32_t count)
{
    std::fprintf(stderr, "Packets Recieved: %" PRIu32 "\n", static_cast<std::uint32_t>(count));
}

bool print_report_line(const char* text)
{
    char line[kReportTextSize];
    console_line_text(text, line, sizeof line);
    const bool taken = std::fputs(line, stdout) >= 0;
    // The flush is what meets a closed pipe or a full disk; ferror keeps the failure of an earlier write.
    return std::fflush(stdout) == 0 && taken && std::ferror(stdout) == 0;
}

bool print_line(std::FILE* stream, const std::string& line)
{
    const bool taken = std::fputs(line.c_str(), stream) >= 0 && std::fputc('\n', stream) != EOF;
    return std::fflush(stream) == 0 && taken && std::ferror(stream) == 0;
}
