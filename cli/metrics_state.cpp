// The probe's metrics between rounds, kept from the round records alone.
#include "cli/metrics_state.h"

#include <algorithm>

bool round_succeeded(int status)
{
    return status == kExitOk || status == kExitWarning;
}

namespace {

// A server's share of the limit: its own series and one per Ethernet address.
std::size_t weight(const ServerSeries& series)
{
    return 1 + series.ethernet.size();
}

// Servers silent for retire_rounds rounds go with all their series: a LAN that forged servers once
// leaves nothing behind once it stops.
void retire_silent(MetricsState& state, int round)
{
    for (auto it = state.series.begin(); it != state.series.end();) {
        if (round - it->second.last_round >= state.retire_rounds) {
            state.series_retired += static_cast<int>(weight(it->second));
            it = state.series.erase(it);
        } else {
            ++it;
        }
    }
}

// Past the limit, the servers heard longest ago go first; the round just added is never among them
// unless it alone is over the limit.
void keep_within_limit(MetricsState& state)
{
    std::size_t total = 0;
    for (const auto& entry : state.series) total += weight(entry.second);
    if (total <= kMaxServerSeries) return;
    std::vector<std::pair<int, const ServerLabels*>> by_age;
    by_age.reserve(state.series.size());
    for (const auto& [labels, series] : state.series) by_age.emplace_back(series.last_round, &labels);
    std::sort(by_age.begin(), by_age.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : *a.second < *b.second;
    });
    std::vector<ServerLabels> gone;
    for (const auto& [round, labels] : by_age) {
        if (total <= kMaxServerSeries) break;
        const std::size_t share = weight(state.series.at(*labels));
        total -= share;
        state.series_dropped += static_cast<int>(share);
        gone.push_back(*labels);
    }
    for (const ServerLabels& labels : gone) state.series.erase(labels);
}

}  // namespace

void add_round(MetricsState& state, const RoundRecord& record)
{
    state.any_round = true;
    state.rounds_total += 1.0;
    state.not_dhcp_total += record.not_dhcp;
    state.over_limit_total += record.over_limit;
    state.status = record.status;
    state.duration_seconds = record.duration_seconds;
    state.interval_seconds = record.interval_seconds;
    state.timestamp_seconds = static_cast<double>(record.unix_ms) / 1000.0;
    state.unexpected_servers = record.unexpected_servers;
    state.expected_missing = record.expected_missing;
    for (auto& [labels, series] : state.series) {
        series.answered = false;
        series.first_offer_seconds = -1.0;
    }
    std::vector<std::string> servers;
    for (const ServerHeard& heard : record.heard) {
        ServerSeries& series = state.series[heard.labels];
        series.replies_total += heard.replies;
        series.answered = heard.replies > 0;
        series.first_offer_seconds = heard.first_offer_seconds;
        series.last_round = record.round;
        if (!heard.ethernet.empty())
            series.ethernet.assign(heard.ethernet.begin(),
                                   heard.ethernet.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                heard.ethernet.size(), kMaxEthernetPerServer)));
        servers.push_back(heard.labels.server);
    }
    std::sort(servers.begin(), servers.end());
    state.servers = static_cast<int>(std::unique(servers.begin(), servers.end()) - servers.begin());
    state.expected = record.expected;
    state.kernel_drops = static_cast<double>(record.kernel_drops);
    state.captured = record.captured;
    state.frames_rejected = record.frames_rejected;
    retire_silent(state, record.round);
    keep_within_limit(state);
}
