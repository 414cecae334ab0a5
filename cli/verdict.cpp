// The verdict of a run (or of one round) and the exit status that carries it to a monitoring system.
#include "cli/verdict.h"

namespace {

// One mark per VLAN id, so that judging stays linear in servers and LANs.
using LanMarks = std::vector<bool>;

LanMarks marks_of(const std::vector<std::uint16_t>& lans)
{
    LanMarks marks(kHighestVlan + 1, false);
    for (const std::uint16_t lan : lans)
        if (lan <= kHighestVlan) marks[lan] = true;
    return marks;
}

bool marked(const LanMarks& marks, std::uint16_t vlan)
{
    return vlan < marks.size() && marks[vlan];
}

}  // namespace

bool has_answered(const Tally& tally, const ExpectedServer& server)
{
    if (server.by_ethernet) return tally.ethernet_sources.count(LanEthernet{server.vlan, server.ethernet}) > 0;
    const LanAddress key{server.vlan, server.address};
    return tally.indexes.count(key) > 0 || tally.sources.count(key) > 0;
}

bool every_expected_answered(const Tally& tally, const std::vector<ExpectedServer>& expected)
{
    if (expected.empty()) return false;
    for (const ExpectedServer& server : expected)
        if (!has_answered(tally, server)) return false;
    return true;
}

Verdict judge_tally(const Tally& tally, const std::vector<ExpectedServer>& expected,
                    const std::vector<std::uint16_t>& lans)
{
    Verdict verdict;
    verdict.over_limit = tally.over_limit;
    verdict.not_dhcp = tally.not_dhcp;
    verdict.kernel_drops = tally.kernel_drops;
    verdict.vlans = lans != std::vector<std::uint16_t>{kUntaggedLan};
    const LanMarks judged = marks_of(lans);
    LanMarks answered(judged.size(), false);
    bool any_answered = false;
    for (const ServerRecord& server : tally.servers) {
        if (!marked(judged, server.vlan)) continue;
        answered[server.vlan] = true;
        any_answered = true;
        if (server.unexpected_replies > 0) verdict.unexpected.push_back(LanAddress{server.vlan, server.key});
        if (server.concerns != 0)
            verdict.concerns.push_back(ServerConcern{LanAddress{server.vlan, server.key}, server.concerns});
    }
    verdict.nothing_answered = !any_answered && tally.over_limit == 0;
    if (lans.size() > 1)
        for (const std::uint16_t lan : lans)
            if (!marked(answered, lan)) verdict.silent_lans.push_back(lan);
    for (const ExpectedServer& server : expected)
        if (marked(judged, server.vlan) && !has_answered(tally, server)) verdict.silent.push_back(server);
    if (verdict.over_limit > 0 || !verdict.unexpected.empty() || verdict.nothing_answered || !verdict.silent.empty() ||
        !verdict.silent_lans.empty())
        verdict.status = kExitCritical;
    else if (!verdict.concerns.empty())
        verdict.status = kExitConcern;
    else if (verdict.kernel_drops > 0)
        verdict.status = kExitDropped;
    else
        verdict.status = kExitHealthy;
    return verdict;
}
