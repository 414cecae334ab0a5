// The verdict of a run (or of one round) and the exit status that carries it to a monitoring system.
#include "cli/verdict.h"

bool has_answered(const Tally& tally, const Ipv4Address& address)
{
    for (const ServerRecord& server : tally.servers) {
        if (server.key == address) return true;
        for (const ServerPath& path : server.paths)
            if (path.source == address) return true;
    }
    return false;
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
    verdict.nothing_answered = tally.replies == 0;
    for (const ServerRecord& server : tally.servers)
        if (server.unexpected_replies > 0) verdict.unexpected.push_back(server.key);
    for (const Ipv4Address& address : expected)
        if (!has_answered(tally, address)) verdict.silent.push_back(address);
    if (!verdict.unexpected.empty())
        verdict.status = kExitUnexpectedServer;
    else if (verdict.nothing_answered || !verdict.silent.empty())
        verdict.status = kExitSilent;
    else
        verdict.status = kExitHealthy;
    return verdict;
}
