// Taking one reply off an endpoint, the same way in every program: the receive, the raw log and the walk.
#include "net/reply_intake.h"

#include <algorithm>

int take_reply(Endpoint endpoint, RawLog& log, ReplyBuffer& buffer, ReplySummary& summary, Arrival* arrival)
{
    const int length = receive_datagram(endpoint, buffer.data(), buffer.size(), arrival);
    // A failed receive delivered no datagram, so nothing reaches the log; its bytes (the first
    // 548 of an oversized datagram, or the previous reply's) are still walked like any other.
    if (length >= 0)
        log_datagram(log, buffer.data(), static_cast<std::size_t>(length));
    else
        log.last = LogOutcome{};
    decode_reply(buffer, summary);
    return length;
}

int take_captured_reply(const CapturedDatagram& datagram, RawLog& log, ReplyBuffer& buffer, ReplySummary& summary,
                        Arrival* arrival)
{
    const bool truncated = datagram.length > buffer.size();
    // Only the datagram's own bytes: the rest of the buffer keeps what it held, as after a receive.
    std::copy_n(datagram.payload, std::min(datagram.length, buffer.size()), buffer.begin());
    if (arrival != nullptr) {
        *arrival = Arrival{};
        arrival->source.address = datagram.frame.source_ip;
        arrival->source.port = datagram.frame.source_port;
        arrival->truncated = truncated;
        arrival->datagram_length = static_cast<long long>(datagram.length);
    }
    if (!truncated)
        log_datagram(log, buffer.data(), datagram.length);
    else
        log.last = LogOutcome{};
    decode_reply(buffer, summary);
    return truncated ? -1 : static_cast<int>(datagram.length);
}
