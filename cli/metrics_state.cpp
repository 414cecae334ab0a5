// The probe's metrics between rounds, kept from the round records alone.
#include "cli/metrics_state.h"

#include <algorithm>

bool round_succeeded(int status)
{
    return status == kExitOk || status == kExitWarning;
}

namespace {

// Past the limit, the series heard longest ago go first; the round just added is never among them
// unless it alone is over the limit.
void keep_within_limit(MetricsState& state)
{
    if (state.series.size() <= kMaxServerSeries) return;
    std::vector<std::pair<int, ServerLabels>> by_age;
    by_age.reserve(state.series.size());
    for (const auto& [labels, series] : state.series) by_age.emplace_back(series.last_round, labels);
    const std::size_t excess = state.series.size() - kMaxServerSeries;
    std::nth_element(by_age.begin(), by_age.begin() + static_cast<std::ptrdiff_t>(excess - 1), by_age.end());
    for (std::size_t k = 0; k < excess; ++k) state.series.erase(by_age[k].second);
    state.series_dropped += static_cast<int>(excess);
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
        if (!heard.ethernet.empty()) series.ethernet = heard.ethernet;
        servers.push_back(heard.labels.server);
    }
    std::sort(servers.begin(), servers.end());
    state.servers = static_cast<int>(std::unique(servers.begin(), servers.end()) - servers.begin());
    state.expected = record.expected;
    state.kernel_drops = static_cast<double>(record.kernel_drops);
    state.captured = record.captured;
    state.frames_rejected = record.frames_rejected;
    keep_within_limit(state);
}
