// The window program's reading of a reply: the server identifier, the relay and the offered address.
#include "protocol/reply_walk.h"

// The walk stops before index 300, so the farthest byte it can touch is the last byte of an
// option 54 found at index 299: offset 236 + 299 + 5 = 540, inside the 548-byte buffer.
static_assert(kOptionBase + (kOptionIndexLimit - 1) + 5 < kDhcpMessageSize);

void decode_reply(const ReplyBuffer& buffer, ReplySummary& summary)
{
    std::size_t index = kFirstOptionIndex;
    while (index < kOptionIndexLimit) {
        const std::size_t at = kOptionBase + index;
        const std::uint8_t code = buffer[at];
        if (code == kOptionEnd) break;
        // The length byte of option 54 is not trusted to be 4, nor checked at all: four bytes
        // are taken, and a later 54 overwrites an earlier one.
        if (code == kOptionServerIdentifier) {
            for (std::size_t k = 0; k < 4; ++k) summary.server_identifier[k] = buffer[at + 2 + k];
        }
        // Pad (0) is not special: it too is read with a length byte.
        index += 2 + static_cast<std::size_t>(buffer[at + 1]);
    }
    for (std::size_t k = 0; k < 4; ++k) {
        summary.offered_address[k] = buffer[kOfferedAddressOffset + k];
        summary.relay_address[k] = buffer[kRelayAddressOffset + k];
    }
}
