// Linux: what the window program's privileged helper holds and does, between its start-up and its end.
#pragma once

#include "host/startup.h"
#include "net/packet_capture.h"
#include "protocol/helper_frames.h"

// The sockets the window program had once: port 67 for the requests, and port 68 or, while another program holds
// it, a packet socket in its place.
struct HelperSockets {
    DiscoveryEndpoints endpoints;
    PacketCapture capture;
};

// Opens the sockets as the window program did, locks the capture's filter and drops every capability, also after
// a failure. Returns the started frame that tells the window program how it went.
HelperFrame open_helper_sockets(HelperSockets& sockets);

// Serves the window program on channel until it closes its end, whatever ended it: a request sends one DISCOVER,
// at most one a second (a quicker one waits its turn); each reply goes to it as a frame. Returns the exit status.
int serve_window_program(int channel, HelperSockets& sockets);
