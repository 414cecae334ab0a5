// One run of the probe after start-up: rounds of requests, the replies taken off every reply endpoint,
// the report of each, and the closing summary with its verdict.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/probe_options.h"
#include "cli/probe_startup.h"
#include "cli/server_tally.h"

struct ProbeSession {
    ProbeOptions options;
    std::vector<ProbeSocket> sockets;
    std::chrono::steady_clock::time_point started{};
    int round = 0;
    Tally run;         // every reply of the run
    Tally this_round;  // the replies since the last request
    SendRecord sends;
};

// Asks a running session to end at its next look (from a signal handler or another thread).
void request_probe_stop();
bool probe_stop_requested();
void clear_probe_stop();

void begin_session(ProbeSession& session, const ProbeOptions& options, const std::vector<ProbeSocket>& sockets);

// Starts the next round: its number goes up and its tally is emptied. send_round does this and sends.
void start_round(ProbeSession& session);

// Starts the next round and broadcasts one DISCOVER through each request endpoint, each with its
// socket's hardware address, exactly as the window program fills it.
void send_round(ProbeSession& session);

// Takes replies off every reply endpoint until deadline or a stop request. With quick it returns
// true as soon as every expected server has answered in this round.
bool listen_until(ProbeSession& session, std::chrono::steady_clock::time_point deadline, bool quick);

// One datagram off the reply endpoint of sockets[index]: the raw log, the report, the tally.
void take_datagram(ProbeSession& session, std::size_t index);

// --monitor: the round's line and its servers (text) or its round object (JSON).
void report_round(const ProbeSession& session);

// The servers, the verdict and, when nothing answered, what the probe found out. Returns the verdict's
// exit status.
int finish_session(const ProbeSession& session);
