// IPv4 addresses as values: four octets in wire order, their text and their networks.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// An IPv4 address in wire order, first octet first.
using Ipv4Address = std::array<std::uint8_t, 4>;

inline constexpr Ipv4Address kLimitedBroadcast{255, 255, 255, 255};

inline bool is_zero_address(const Ipv4Address& address)
{
    return address[0] == 0 && address[1] == 0 && address[2] == 0 && address[3] == 0;
}

// "a.b.c.d"
std::string address_text(const Ipv4Address& address);

// Reads "a.b.c.d" (four decimal octets, nothing else); false when text is not such an address.
bool parse_ipv4(const std::string& text, Ipv4Address& address);

// The number of leading one bits of a netmask (a mask with gaps counts its leading ones).
int prefix_length_of(const Ipv4Address& mask);

// True when a and b share the first prefix_length bits.
bool same_network(const Ipv4Address& a, const Ipv4Address& b, int prefix_length);
