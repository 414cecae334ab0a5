// What one round found, as a neutral record for the metrics and the events.
#include "cli/round_record.h"

#include <algorithm>

namespace {

const char* expected_label(const ServerRecord& server, bool expectations)
{
    if (!expectations) return "";
    return server.unexpected_replies > 0 ? "false" : "true";
}

}  // namespace

RoundRecord make_round_record(const RoundFacts& facts, const Tally& tally, const Verdict& verdict,
                              const std::vector<Ipv4Address>& expected)
{
    RoundRecord record;
    record.round = facts.round;
    record.unix_ms = facts.unix_ms;
    record.duration_seconds = std::max(0.0, facts.ended_elapsed - facts.started_elapsed);
    record.interval_seconds = facts.interval_seconds;
    record.status = verdict.status;
    record.replies = tally.replies;
    record.not_dhcp = tally.not_dhcp;
    record.over_limit = tally.over_limit;
    record.unexpected_servers = static_cast<int>(verdict.unexpected.size());
    record.expected_missing = static_cast<int>(verdict.silent.size());
    const bool expectations = !expected.empty();
    for (const ServerRecord& server : tally.servers) {
        const std::size_t first = record.heard.size();
        for (const ServerPath& path : server.paths) {
            ServerLabels labels{"ipv4",
                                path.interface,
                                "",
                                address_text(server.key),
                                is_zero_address(path.relay) ? "" : address_text(path.relay),
                                expected_label(server, expectations)};
            auto same = std::find_if(record.heard.begin() + static_cast<std::ptrdiff_t>(first), record.heard.end(),
                                     [&labels](const ServerHeard& h) { return h.labels == labels; });
            if (same == record.heard.end()) {
                record.heard.push_back(ServerHeard{labels, 0, -1.0});
                same = record.heard.end() - 1;
            }
            same->replies += path.replies;
            if (path.first_offer_elapsed >= 0.0) {
                const double seconds = std::max(0.0, path.first_offer_elapsed - facts.started_elapsed);
                if (same->first_offer_seconds < 0.0 || seconds < same->first_offer_seconds)
                    same->first_offer_seconds = seconds;
            }
        }
    }
    for (const Ipv4Address& address : expected) {
        const bool silent = std::find(verdict.silent.begin(), verdict.silent.end(), address) != verdict.silent.end();
        record.expected.push_back(ExpectedServer{
            ServerLabels{"ipv4", facts.probe_interface, "", address_text(address), "", "true"}, !silent});
    }
    return record;
}
