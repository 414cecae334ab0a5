// What one round found, as a neutral record for the metrics and the events: each server heard with its
// labels and values, each expected server, the verdict and the counts. Later kinds of replies add records
// of the same shape (another family, a VLAN id), not paths of their own.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/server_tally.h"
#include "cli/verdict.h"

// Where and how a server answers: the bounded labels every per-server figure carries. Never the offered
// address nor the transaction id, which change with each client and round.
struct ServerLabels {
    std::string family;     // "ipv4" (later "ipv6")
    std::string interface;  // the interface it came in on; "" when the platform cannot tell
    std::string vlan;       // "" untagged or unknown
    std::string server;     // the server identifier (or source address) as text
    std::string relay;      // the relay's address; "" when direct
    std::string expected;   // "true" or "false"; "" when no server was named with --expect
    auto operator<=>(const ServerLabels&) const = default;
};

// One server through one way in (interface and relay) in the round.
struct ServerHeard {
    ServerLabels labels;
    int replies = 0;                    // its answers this round
    double first_offer_seconds = -1.0;  // from the round's request to its first offer; -1 when none came
    // --capture: the Ethernet addresses its replies came from this way, with their vendors ("" unknown).
    std::vector<std::pair<std::string, std::string>> ethernet;
};

// One server named with --expect (by address or, captured, Ethernet address), and whether it answered in the
// round.
struct ExpectedHeard {
    ServerLabels labels;  // relay "", expected "true"; the interface is the probe's own (--interface) or ""
    bool answered = false;
};

struct RoundRecord {
    int round = 0;
    std::int64_t unix_ms = 0;       // when the round ended (its verdict)
    double duration_seconds = 0.0;  // from the round's request to its verdict
    double interval_seconds = 0.0;  // the time from one round's request to the next
    int status = kExitUnknown;      // the round's verdict as an exit status
    int replies = 0;                // every datagram, answer or not
    int not_dhcp = 0;               // datagrams that answered no request
    int over_limit = 0;             // answers past the tally's server limit
    int unexpected_servers = 0;
    int expected_missing = 0;
    std::vector<ServerHeard> heard;  // in the order first heard
    std::vector<ExpectedHeard> expected;
    // Over the run so far: datagrams the kernel dropped for want of room (-1 unknown), and with --capture the
    // frames that were no reply, by kind.
    long long kernel_drops = -1;
    bool captured = false;
    std::vector<std::pair<std::string, long long>> frames_rejected;
};

// The facts of a round beside its tally.
struct RoundFacts {
    int round = 0;
    std::int64_t unix_ms = 0;
    double started_elapsed = 0.0;  // the round's request, in seconds since the probe started
    double ended_elapsed = 0.0;    // its verdict, likewise
    double interval_seconds = 0.0;
    std::string probe_interface;           // --interface, or "" (the default sockets, --all-interfaces)
    const IntakeRecord* intake = nullptr;  // the run's intake so far, when known
};

// The record of a round from its tally and verdict. Paths of one server that differ only in the
// datagram's source address are one record. Pure.
RoundRecord make_round_record(const RoundFacts& facts, const Tally& tally, const Verdict& verdict,
                              const std::vector<ExpectedServer>& expected);
