// IPv4 addresses as values: their text and their networks.
#include "common/ipv4.h"

#include <cstdio>

std::string address_text(const Ipv4Address& address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(address[0]),
                  static_cast<unsigned>(address[1]), static_cast<unsigned>(address[2]),
                  static_cast<unsigned>(address[3]));
    return text;
}

bool parse_ipv4(const std::string& text, Ipv4Address& address)
{
    Ipv4Address parsed{};
    std::size_t at = 0;
    for (std::size_t octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        parsed[octet] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size()) return false;
    address = parsed;
    return true;
}

int prefix_length_of(const Ipv4Address& mask)
{
    int length = 0;
    for (const std::uint8_t octet : mask) {
        for (int bit = 7; bit >= 0; --bit) {
            if ((octet >> bit & 1) == 0) return length;
            ++length;
        }
    }
    return length;
}

bool same_network(const Ipv4Address& a, const Ipv4Address& b, int prefix_length)
{
    for (int bit = 0; bit < prefix_length && bit < 32; ++bit) {
        const int octet = bit / 8;
        const int shift = 7 - bit % 8;
        if ((a[octet] >> shift & 1) != (b[octet] >> shift & 1)) return false;
    }
    return true;
}
