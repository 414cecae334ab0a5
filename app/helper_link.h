// Linux: the window program's link to its privileged helper, which alone holds ports 67 and 68 (or the packet
// socket beside a holder of port 68). The window program holds one end of a socketpair and nothing privileged.
#pragma once

#include <string>

#include "host/startup.h"

// Where the helper lives: <the program's folder>/ORVANE_HELPER_FROM_BIN, the install's libexec/orvane.
std::string helper_path();

// Starts the helper on a socketpair and waits for its start-up; stores the link in app_state.request_endpoint and
// app_state.reply_endpoint, where stop_network shuts it down. On a failure (the helper could not be started, did
// not answer, or could not open its sockets) it returns a failed outcome that startup_failure_line explains.
StartupOutcome start_helper();

// True when endpoint is the link to the helper.
bool is_helper_link(Endpoint endpoint);

// send_discovery through the helper, which builds the request for app_state.hardware_address and sends it, at most
// one a second. 548 when the helper took the request, -1 otherwise.
int send_helper_discovery();

// receive_reply through the helper: the next reply it passed on, taken as a receive takes it (into
// app_state.reply_buffer, LogFile and app_state.reply_summary). Once the helper has ended it waits for
// stop_network, and returns -1 as a receive broken off then.
int receive_helper_reply();

// Closes the link; only tests start more than one run in a process.
void close_helper_link();

// The one line (without "orvane: ") for a start-up that failed: why the helper could not start, or what it could
// not open, with the hint that names the helper, which is where the rights now are.
std::string startup_failure_line(const StartupOutcome& outcome);
