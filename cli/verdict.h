// The verdict of a run (or of one round) and the exit status that carries it to a monitoring system.
#pragma once

#include <vector>

#include "cli/server_tally.h"

inline constexpr int kExitHealthy = 0;
inline constexpr int kExitStartupFailure = 1;
inline constexpr int kExitUnexpectedServer = 2;
inline constexpr int kExitSilent = 3;

struct Verdict {
    int status = kExitSilent;
    std::vector<Ipv4Address> unexpected;  // servers that answered without being named
    std::vector<Ipv4Address> silent;      // named servers that did not answer
    bool nothing_answered = true;
};

// 2 when an unexpected server answered (the graver finding wins), else 3 when an expected server
// stayed silent or nothing answered at all, else 0. Pure.
Verdict judge_tally(const Tally& tally, const std::vector<Ipv4Address>& expected);

// True when the address answered: as a server identifier or as the source of a reply.
bool has_answered(const Tally& tally, const Ipv4Address& address);

// True when every expected address has answered (what --quick waits for); false when none is expected.
bool every_expected_answered(const Tally& tally, const std::vector<Ipv4Address>& expected);
