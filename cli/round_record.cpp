// What one round found, as a neutral record for the metrics and the events.
#include "cli/round_record.h"

#include <algorithm>
#include <unordered_set>

namespace {

const char* expected_label(const ServerRecord& server, bool expectations)
{
    if (!expectations) return "";
    return server.unexpected_replies > 0 ? "false" : "true";
}

// The vlan label: empty on the untagged LAN, the VLAN id otherwise.
std::string vlan_label(std::uint16_t vlan)
{
    return vlan == kUntaggedLan ? std::string() : std::to_string(vlan);
}

}  // namespace

RoundRecord make_round_record(const RoundFacts& facts, const Tally& tally, const Verdict& verdict,
                              const std::vector<ExpectedServer>& expected)
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
                                vlan_label(server.vlan),
                                address_text(server.key),
                                is_zero_address(path.relay) ? "" : address_text(path.relay),
                                expected_label(server, expectations)};
            auto same = std::find_if(record.heard.begin() + static_cast<std::ptrdiff_t>(first), record.heard.end(),
                                     [&labels](const ServerHeard& h) { return h.labels == labels; });
            if (same == record.heard.end()) {
                record.heard.push_back(ServerHeard{labels, 0, -1.0, {}});
                same = record.heard.end() - 1;
            }
            same->replies += path.replies;
            if (path.captured) {
                const std::pair<std::string, std::string> identity{hardware_address_text(path.ethernet), path.vendor};
                if (std::find(same->ethernet.begin(), same->ethernet.end(), identity) == same->ethernet.end())
                    same->ethernet.push_back(identity);
            }
            if (path.first_offer_elapsed >= 0.0) {
                const double seconds = std::max(0.0, path.first_offer_elapsed - facts.started_elapsed);
                if (same->first_offer_seconds < 0.0 || seconds < same->first_offer_seconds)
                    same->first_offer_seconds = seconds;
            }
        }
    }
    std::unordered_set<std::uint64_t> silent_keys;
    for (const ExpectedServer& server : verdict.silent) silent_keys.insert(expected_key(server));
    for (const ExpectedServer& server : expected) {
        const bool silent = silent_keys.count(expected_key(server)) > 0;
        const std::string name =
            server.by_ethernet ? hardware_address_text(server.ethernet) : address_text(server.address);
        record.expected.push_back(ExpectedHeard{
            ServerLabels{"ipv4", facts.probe_interface, vlan_label(server.vlan), name, "", "true"}, !silent});
    }
    if (facts.intake != nullptr) {
        record.kernel_drops = facts.intake->kernel_drops;
        record.captured = facts.intake->captured;
        if (record.captured) {
            // Every kind but the frames that did become replies.
            for (std::size_t k = 1; k < kFrameOutcomeCount; ++k)
                record.frames_rejected.emplace_back(std::string(frame_outcome_name(static_cast<FrameOutcome>(k))),
                                                    facts.intake->frames.by_outcome[k]);
            for (std::size_t k = 1; k < kNotOursCount; ++k)
                record.frames_rejected.emplace_back(std::string(not_ours_name(static_cast<NotOurs>(k))),
                                                    facts.intake->not_ours[k]);
        }
    }
    return record;
}
