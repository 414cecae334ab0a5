// The probe's metrics between rounds: counters that add up over the run and the last round's values,
// kept from the round records alone. Pure and platform-neutral; cli/metrics_families turns it into
// Prometheus's form.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cli/round_record.h"

// A run keeps at most this many per-server series, servers, routers and their Ethernet addresses counted
// together; past it the ones heard longest ago are dropped (a counter that comes back starts again from 0,
// which Prometheus reads as a reset).
inline constexpr std::size_t kMaxServerSeries = 4096;
// Ethernet addresses kept per server, as the tally keeps 16 paths: a forger sending from ever new ones
// cannot make one server weigh more.
inline constexpr std::size_t kMaxEthernetPerServer = 16;
// A server not heard for this many rounds loses its series (--metrics-retire's default).
inline constexpr int kDefaultRetireRounds = 10;

struct ServerSeries {
    double replies_total = 0.0;         // answers over the run
    bool answered = false;              // in the last round
    double first_offer_seconds = -1.0;  // in the last round; -1 when no offer came
    int last_round = 0;                 // the last round it answered in
    // --capture: the Ethernet addresses it answered from in the last round it answered, with their vendors;
    // at most kMaxEthernetPerServer.
    std::vector<std::pair<std::string, std::string>> ethernet;
};

struct MetricsState {
    std::string version;  // the build's, for orvane_build_info
    bool any_round = false;
    double rounds_total = 0.0;
    double not_dhcp_total = 0.0;
    double over_limit_total = 0.0;
    // The last round's:
    int status = 0;
    double duration_seconds = 0.0;
    double interval_seconds = 0.0;
    double timestamp_seconds = 0.0;  // when it ended, seconds since 1970 (UTC)
    int servers = 0;
    int unexpected_servers = 0;
    int expected_missing = 0;
    std::map<ServerLabels, ServerSeries> series;
    std::vector<ExpectedHeard> expected;
    int retire_rounds = kDefaultRetireRounds;  // a server silent this many rounds loses its series
    int series_dropped = 0;                    // series dropped at the limit over the run
    int series_retired = 0;                    // series of servers gone silent, over the run
    double kernel_drops = -1.0;                // over the run; -1 while the platform cannot tell
    bool captured = false;
    std::vector<std::pair<std::string, long long>> frames_rejected;  // --capture, over the run, by kind
};

// Takes a round in: counters go up, the last round's values are replaced, servers silent for
// retire_rounds rounds are forgotten, and the series are held to kMaxServerSeries. Pure.
void add_round(MetricsState& state, const RoundRecord& record);

// A round succeeded when its verdict is OK or WARNING: the servers that should answer did, and only they.
bool round_succeeded(int status);
