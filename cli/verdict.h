// The verdict of a run (or of one round) and the exit status that carries it to a monitoring system.
#pragma once

#include <vector>

#include "cli/server_tally.h"

inline constexpr int kExitHealthy = 0;
inline constexpr int kExitStartupFailure = 1;
inline constexpr int kExitRefusedCommandLine = kExitStartupFailure;
inline constexpr int kExitUnexpectedServer = 2;
// More servers answered than a tally keeps: a LAN that forges them may be hiding a rogue among them.
inline constexpr int kExitOverLimit = kExitUnexpectedServer;
inline constexpr int kExitSilent = 3;
// The report could not be written to standard output (a closed pipe, a full disk).
inline constexpr int kExitOutputFailure = 4;

struct Verdict {
    int status = kExitSilent;
    std::vector<LanAddress> unexpected;      // servers that answered without being named, each on its LAN
    std::vector<ExpectedServer> silent;      // named servers that did not answer
    bool nothing_answered = true;            // no answer to the probe's request came, whatever else did
    std::vector<std::uint16_t> silent_lans;  // of several LANs judged, those where nothing answered
    bool vlans = false;                      // the LANs judged are --vlan's: servers are named with their VLAN
    int over_limit = 0;                      // answers from servers beyond the tally's limit
    int not_dhcp = 0;                        // datagrams that answered no request of the probe
};

// Judges the servers of the LANs in lans (the untagged LAN alone without --vlan): 2 when answers came from more
// servers than the tally keeps or an unexpected server answered (the graver finding wins), else 3 when an
// expected server stayed silent or nothing answered on one of the LANs, else 0. Answers over the limit and
// datagrams that are no answer are counted for the whole tally, whatever the LANs. Datagrams that answer no
// request of the probe never make it 0. Pure.
Verdict judge_tally(const Tally& tally, const std::vector<ExpectedServer>& expected,
                    const std::vector<std::uint16_t>& lans = {kUntaggedLan});

// True when the server answered on its LAN: as a server identifier or as the source of a reply, or by its
// Ethernet source.
bool has_answered(const Tally& tally, const ExpectedServer& server);

// True when every expected server has answered (what --quick waits for); false when none is expected.
bool every_expected_answered(const Tally& tally, const std::vector<ExpectedServer>& expected);
