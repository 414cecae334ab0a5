// Ethernet addresses as values: their text.
#include "common/ethernet.h"

#include <cstdio>

#include "common/hex_digits.h"

std::string hardware_address_text(const HardwareAddress& address)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1], address[2], address[3],
                  address[4], address[5]);
    return text;
}

bool parse_hardware_address(const std::string& text, HardwareAddress& address)
{
    if (text.size() != 17) return false;
    HardwareAddress parsed{};
    const char separator = text[2];
    if (separator != ':' && separator != '-') return false;
    for (std::size_t k = 0; k < 6; ++k) {
        const int high = hex_digit_value(text[3 * k]);
        const int low = hex_digit_value(text[3 * k + 1]);
        if (high < 0 || low < 0) return false;
        if (k < 5 && text[3 * k + 2] != separator) return false;
        parsed[k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    address = parsed;
    return true;
}
