// The window program's two halves of an exchange over AppState: the request sent, a reply taken.
#pragma once

#include "app/app_state.h"

// Fills app_state.discovery_request from app_state.hardware_address and broadcasts all
// 548 bytes to 255.255.255.255:67 through endpoint. Returns the bytes sent, or -1.
int send_discovery(Endpoint endpoint);

// Receives one datagram into app_state.reply_buffer, appends it to LogFile unless the
// receive failed, and decodes the buffer into app_state.reply_summary (also after a failed
// receive, over what the buffer then holds). Returns the datagram's length, or -1.
int receive_reply(Endpoint endpoint);
