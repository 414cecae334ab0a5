// Taking one reply off an endpoint, the same way in every program: the receive, the raw log and the walk.
#include "net/reply_intake.h"

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
