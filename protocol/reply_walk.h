// The window program's reading of a reply: the server identifier, the relay and the offered address.
#pragma once

#include <cstddef>

#include "common/dhcp_wire.h"
#include "common/ipv4.h"

// Three addresses of a reply, each in wire order.
struct ReplySummary {
    Ipv4Address server_identifier{};
    Ipv4Address relay_address{};
    Ipv4Address offered_address{};
};
static_assert(sizeof(ReplySummary) == 12);

using ReplyBuffer = DhcpMessage;

// Where the walk looks in a reply, in bytes from its start.
inline constexpr std::size_t kOptionBase = kMagicCookieOffset;  // option indexes count from the cookie
inline constexpr std::size_t kFirstOptionIndex = 4;
inline constexpr std::size_t kOptionIndexLimit = 300;

// Walks the options of buffer for the server identifier (a later option 54 wins, a reply
// without one keeps the previous value), then copies yiaddr and giaddr. Pure: reads only
// buffer, never beyond offset 540, whatever the bytes say.
void decode_reply(const ReplyBuffer& buffer, ReplySummary& summary);
