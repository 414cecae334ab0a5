// Taking one reply off the reply endpoint: the receive, the raw log and the option walk.
#include "discovery/reply_decoder.h"

#include "discovery/network.h"
#include "discovery/raw_log.h"

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

int receive_reply(Endpoint endpoint)
{
    const int length = receive_datagram(endpoint, app_state.reply_buffer.data(), app_state.reply_buffer.size());
    // A failed receive delivered no datagram, so nothing reaches the log; its bytes (the first
    // 548 of an oversized datagram, or the previous reply's) are still walked like any other.
    if (length >= 0) append_raw_log(app_state.reply_buffer.data(), static_cast<std::size_t>(length));
    decode_reply(app_state.reply_buffer, app_state.reply_summary);
    return length;
}
