// IPv6 addresses as values: their RFC 5952 text and its parsing.
#include "common/ipv6.h"

#include <cstdio>

#include "common/hex_digits.h"

namespace {

bool is_ipv4_mapped(const Ipv6Address& address)
{
    for (int at = 0; at < 10; ++at)
        if (address[at] != 0) return false;
    return address[10] == 0xff && address[11] == 0xff;
}

// Reads "a.b.c.d" from text[at..] to the end into four bytes.
bool parse_dotted_tail(const std::string& text, std::size_t at, std::uint8_t* out)
{
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
        }
        unsigned value = 0;
        int digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        out[octet] = static_cast<std::uint8_t>(value);
    }
    return at == text.size();
}

}  // namespace

std::string ipv6_text(const Ipv6Address& address)
{
    unsigned groups[8];
    for (int group = 0; group < 8; ++group)
        groups[group] = static_cast<unsigned>(address[2 * group] << 8 | address[2 * group + 1]);
    const bool mapped = is_ipv4_mapped(address);
    const int group_count = mapped ? 6 : 8;

    int best_start = -1;
    int best_length = 1;  // a single zero group is never compressed
    for (int start = 0; start < group_count;) {
        if (groups[start] != 0) {
            ++start;
            continue;
        }
        int end = start;
        while (end < group_count && groups[end] == 0) ++end;
        if (end - start > best_length) {
            best_start = start;
            best_length = end - start;
        }
        start = end;
    }

    std::string text;
    char piece[8];
    for (int group = 0; group < group_count;) {
        if (group == best_start) {
            text += "::";
            group += best_length;
            continue;
        }
        if (!text.empty() && text.back() != ':') text += ':';
        std::snprintf(piece, sizeof piece, "%x", groups[group]);
        text += piece;
        ++group;
    }
    if (mapped) {
        char tail[20];
        std::snprintf(tail, sizeof tail, "%s%u.%u.%u.%u", text.back() == ':' ? "" : ":",
                      static_cast<unsigned>(address[12]), static_cast<unsigned>(address[13]),
                      static_cast<unsigned>(address[14]), static_cast<unsigned>(address[15]));
        text += tail;
    }
    return text;
}

bool parse_ipv6(const std::string& text, Ipv6Address& address)
{
    std::uint8_t head[16]{};
    int head_bytes = 0;
    std::uint8_t tail[16]{};
    int tail_bytes = 0;
    bool compressed = false;
    std::size_t at = 0;

    if (text.size() >= 2 && text[0] == ':' && text[1] == ':') {
        compressed = true;
        at = 2;
    } else if (!text.empty() && text[0] == ':') {
        return false;
    }
    while (at < text.size()) {
        std::uint8_t* out = compressed ? tail : head;
        int& count = compressed ? tail_bytes : head_bytes;
        // A dotted tail stands for the last two groups.
        const std::size_t next_colon = text.find(':', at);
        const std::size_t dot = text.find('.', at);
        if (dot != std::string::npos && next_colon == std::string::npos) {
            if (count + (compressed ? head_bytes : 0) + 4 > 16) return false;
            if (!parse_dotted_tail(text, at, out + count)) return false;
            count += 4;
            at = text.size();
            break;
        }
        unsigned value = 0;
        int digits = 0;
        while (at < text.size() && hex_digit_value(text[at]) >= 0) {
            if (++digits > 4) return false;
            value = value << 4 | static_cast<unsigned>(hex_digit_value(text[at]));
            ++at;
        }
        if (digits == 0) return false;
        if (head_bytes + tail_bytes + 2 > 16) return false;
        out[count++] = static_cast<std::uint8_t>(value >> 8);
        out[count++] = static_cast<std::uint8_t>(value & 0xff);
        if (at == text.size()) break;
        if (text[at] != ':') return false;
        ++at;
        if (at < text.size() && text[at] == ':') {
            if (compressed) return false;
            compressed = true;
            ++at;
        } else if (at == text.size()) {
            return false;  // a single trailing colon
        }
    }
    // "::" stands for at least one zero group; without it all eight groups are written.
    if (compressed ? head_bytes + tail_bytes > 14 : head_bytes != 16) return false;
    Ipv6Address parsed{};
    for (int i = 0; i < head_bytes; ++i) parsed[i] = head[i];
    for (int i = 0; i < tail_bytes; ++i) parsed[16 - tail_bytes + i] = tail[i];
    address = parsed;
    return true;
}
