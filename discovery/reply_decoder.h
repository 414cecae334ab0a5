// Taking one reply off the reply endpoint: the receive, the raw log and the option walk.
#pragma once

#include "common/app_state.h"

// Where the walk looks in a reply, in bytes from its start.
inline constexpr std::size_t kOptionBase = kMagicCookieOffset;  // option indexes count from the cookie
inline constexpr std::size_t kFirstOptionIndex = 4;
inline constexpr std::size_t kOptionIndexLimit = 300;

// Walks the options of buffer for the server identifier (a later option 54 wins, a reply
// without one keeps the previous value), then copies yiaddr and giaddr. Pure: reads only
// buffer, never beyond offset 540, whatever the bytes say.
void decode_reply(const ReplyBuffer& buffer, ReplySummary& summary);

// Receives one datagram into app_state.reply_buffer, appends it to the raw log unless the
// receive failed, and decodes the buffer into app_state.reply_summary (also after a failed
// receive, over what the buffer then holds). Returns the datagram's length, or -1.
int receive_reply(Endpoint endpoint);
