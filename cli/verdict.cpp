// The verdict of a run (or of one round) and the exit status that carries it to a monitoring system.
#include "cli/verdict.h"

bool has_answered(const Tally& tally, const Ipv4Address& address)
{
    return tally.indexes.count(address) > 0 || tally.sources.count(address) > 0;
}

bool every_expected_answered(const Tally& tally, const std::vector<Ipv4Address>& expected)
{
    if (expected.empty()) return false;
    for (const Ipv4Address& address : expected)
        if (!has_answered(tally, address)) return false;
    return true;
}

Verdict judge_tally(const Tally& tally, const std::vector<Ipv4Address>& expected)
{
    Verdict verdict;
    verdict.nothing_answered = tally.servers.empty() && tally.over_limit == 0;
    verdict.over_limit = tally.over_limit;
    verdict.not_dhcp = tally.not_dhcp;
    for (const ServerRecord& server : tally.servers) {
        if (server.unexpected_replies > 0) verdict.unexpected.push_back(server.key);
        if (server.concerns != 0) verdict.concerns.push_back(ServerConcern{server.key, server.concerns});
    }
    for (const Ipv4Address& address : expected)
        if (!has_answered(tally, address)) verdict.silent.push_back(address);
    if (verdict.over_limit > 0 || !verdict.unexpected.empty() || verdict.nothing_answered || !verdict.silent.empty())
        verdict.status = kExitCritical;
    else if (!verdict.concerns.empty())
        verdict.status = kExitConcern;
    else
        verdict.status = kExitHealthy;
    return verdict;
}
