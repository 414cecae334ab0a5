// Taking one reply off an endpoint, the same way in every program: the receive, the raw log and the walk.
#pragma once

#include "net/network.h"
#include "net/packet_capture.h"
#include "net/raw_log.h"
#include "protocol/reply_walk.h"

// Receives one datagram into buffer, appends it to log (log.last says what became of it) unless the
// receive failed, and walks the buffer into summary (also after a failed receive, over what the
// buffer then holds). Returns the datagram's length, or -1; arrival, when not null, tells where it
// came from and whether it was longer than the buffer.
int take_reply(Endpoint endpoint, RawLog& log, ReplyBuffer& buffer, ReplySummary& summary, Arrival* arrival = nullptr);

// The same for a datagram taken from a capture, copied into buffer as a receive copies it: the first bytes of a
// datagram longer than buffer, which then is not logged and gives -1 with arrival->truncated, as on a socket.
// arrival gets the source address and port and the datagram's length, no interface name.
int take_captured_reply(const CapturedDatagram& datagram, RawLog& log, ReplyBuffer& buffer, ReplySummary& summary,
                        Arrival* arrival = nullptr);
