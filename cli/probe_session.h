// One run of the probe after start-up: rounds of requests, the replies taken off every reply endpoint,
// the report of each, and the closing summary with its verdict.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/ipv6_tally.h"
#include "cli/probe_options.h"
#include "cli/probe_startup.h"
#include "cli/round_watch.h"
#include "cli/send_pacer.h"
#include "cli/server_tally.h"
#include "net/raw_log.h"
#include "protocol/discovery_request.h"
#include "protocol/reply_walk.h"
#include "protocol/report_lines.h"
#include "protocol/vendor_registry.h"

// Everything one run of the probe holds, passed along as a parameter.
struct ProbeSession {
    ProbeOptions options;
    std::vector<ProbeSocket> sockets;
    // Set to non-zero (from a signal handler or another thread) to end the run at its next look.
    const std::atomic<int>* stop_request = nullptr;
    std::chrono::steady_clock::time_point started{};
    int round = 0;
    double round_started = 0.0;  // the current round's request, in seconds since started
    int ended_round = 0;         // the last round end_round has taken
    Tally run;                   // every reply of the run
    Tally this_round;            // the replies since the last request
    int reported_round = 0;      // the last round report_round has shown
    SendRecord sends;
    SendPacer pacer;
    // --log, LogFile or none; its path points into options, so a session is never copied.
    RawLog log;
    bool log_failing = false;      // the log's failure has been said and it has not been written since
    IntakeRecord intake;           // the log's misses and the kernel's drops
    std::vector<long long> drops;  // each reply endpoint's last drop count; -1 until one is known
    bool ended_early = false;      // --quick ended the run before its wait was out
    // Standard output failed (a closed pipe, a full disk): the run ends, and what is left goes to stderr.
    bool output_failed = false;
    RoundWatch watch;  // metrics and events of each round
    // The window program's counts, request and reply as the plain report shows them.
    std::int32_t sent_count = 0;
    std::int32_t received_count = 0;
    DiscoveryRequest request{};
    ReplyBuffer reply_buffer{};
    ReplySummary reply_summary{};
    ReportText report_text{};
    // --capture: who made each Ethernet address, from the IEEE registry files when they are installed; read
    // when the first captured reply needs it, while the first requests are on their way.
    VendorRegistry vendors;
    bool vendors_loaded = false;
    // -6: the sockets of each interface, this round's request and the tallies of the run and of the round.
    std::vector<Ipv6Socket> sockets6;
    Ipv6Request request6;
    Ipv6Tally run6;
    Ipv6Tally round6;
    std::vector<long long> drops6;  // each IPv6 endpoint's last drop count (add_ipv6_endpoints' order)
    struct {
        int solicits = 0;
        int router_solicitations = 0;
        int failed = 0;
    } sends6;
};

// One line of the report to stdout, or to stderr once stdout has failed.
void print_session_line(ProbeSession& session, const std::string& line);

void begin_session(ProbeSession& session, const ProbeOptions& options, const std::vector<ProbeSocket>& sockets,
                   const std::atomic<int>* stop_request, const std::vector<Ipv6Socket>& sockets6 = {});

// True once the session's stop request is set.
bool stop_requested(const ProbeSession& session);

// Starts the next round: its number goes up and its tally is emptied. send_round does this and sends.
void start_round(ProbeSession& session);

// Starts the next round and broadcasts one DISCOVER through each request endpoint, each with its
// socket's hardware address, exactly as the window program fills it. The pacer has the last word: until
// every interface may take its next DISCOVER, replies are taken for the round still open. Returns false,
// without starting a round, when the run was asked to end meanwhile.
bool send_round(ProbeSession& session);

// True once the run must end before its time: a stop request, or standard output gone.
bool run_cut_short(const ProbeSession& session);

// Takes replies off every reply endpoint until deadline or a stop request. With quick it returns
// true as soon as every expected server has answered in this round.
bool listen_until(ProbeSession& session, std::chrono::steady_clock::time_point deadline, bool quick);

// One datagram off the reply endpoint of sockets[index]: the raw log, the report, the tally. A packet socket's
// ring gives every reply it holds.
void take_datagram(ProbeSession& session, std::size_t index);

// The kernel's drop count on sockets[index] so far; -1 says none came. The session keeps the sum over all.
void note_kernel_drops(ProbeSession& session, std::size_t index, long long drops);

// A reply whose bytes are in the session's reply buffer and summary, whichever way it came: the record's
// times, round, fields and expectations filled in, then the tally, the flags and its report.
void handle_reply(ProbeSession& session, ReplyRecord& reply);

// --monitor: the round's line and its servers (text) or its round object (JSON), once per round.
void report_round(ProbeSession& session);

// The end of the current round, once: its report in --monitor, and unless the run was cut short in the
// middle of it, its metrics and events.
void end_round(ProbeSession& session);

// The servers, the verdict and, when nothing answered, what the probe found out. Returns the verdict's
// exit status, or kExitOutputFailure when standard output failed (the summary then went to stderr).
int finish_session(ProbeSession& session);
