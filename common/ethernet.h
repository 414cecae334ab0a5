// Ethernet (IEEE 802) addresses as values: six bytes, first byte first, and their text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// An Ethernet address, first byte first; all zero means none was found.
using HardwareAddress = std::array<std::uint8_t, 6>;

inline constexpr HardwareAddress kBroadcastHardwareAddress{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// "02:4f:52:56:00:0a"
std::string hardware_address_text(const HardwareAddress& address);

// Reads "02:4f:52:56:00:0a" (or with '-'); false when text is not six hexadecimal pairs.
bool parse_hardware_address(const std::string& text, HardwareAddress& address);

// The group bit (bit 0 of the first byte): multicast and broadcast addresses, which no station owns.
inline bool is_group_address(const HardwareAddress& address)
{
    return (address[0] & 0x01) != 0;
}

inline bool is_zero_hardware_address(const HardwareAddress& address)
{
    for (const std::uint8_t byte : address)
        if (byte != 0) return false;
    return true;
}
