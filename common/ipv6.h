// IPv6 addresses as values: sixteen octets in wire order, their text (RFC 5952) and the link's groups.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// An IPv6 address in wire order, first octet first.
using Ipv6Address = std::array<std::uint8_t, 16>;

inline constexpr Ipv6Address kUnspecifiedIpv6{};
// ff02::1, every node on the link.
inline constexpr Ipv6Address kAllNodes{0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01};
// ff02::2, every router on the link: where a Router Solicitation goes.
inline constexpr Ipv6Address kAllRouters{0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02};
// ff02::1:2, every DHCPv6 relay agent and server on the link: where a SOLICIT goes.
inline constexpr Ipv6Address kAllDhcpAgents{0xff, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0x02};

// fe80::/10, the addresses a router sends its advertisements from.
inline bool is_link_local(const Ipv6Address& address)
{
    return address[0] == 0xfe && (address[1] & 0xc0) == 0x80;
}

inline bool is_multicast(const Ipv6Address& address)
{
    return address[0] == 0xff;
}

// RFC 5952 text: lower case, no leading zeros, the longest run of two or more zero groups as "::"
// (the first of equal runs), and ::ffff:a.b.c.d for IPv4-mapped addresses.
std::string ipv6_text(const Ipv6Address& address);

// Reads full or "::"-compressed text, with an optional dotted IPv4 tail in the last 32 bits; false on
// anything else (zone suffixes, five-digit groups, stray colons), leaving address untouched.
bool parse_ipv6(const std::string& text, Ipv6Address& address);
