// The verdict of a run (or of one round) and the exit status that carries it to a monitoring system.
#pragma once

#include <vector>

#include "cli/server_tally.h"

// The monitoring plugins' statuses, which every engine reads the same way.
inline constexpr int kExitOk = 0;
inline constexpr int kExitWarning = 1;
inline constexpr int kExitCritical = 2;
inline constexpr int kExitUnknown = 3;

// What each finding or failure maps to.
inline constexpr int kExitHealthy = kExitOk;
// As healthy, but a reply carries a concern (see kConcern...).
inline constexpr int kExitConcern = kExitWarning;
inline constexpr int kExitUnexpectedServer = kExitCritical;
// More servers answered than a tally keeps: a LAN that forges them may be hiding a rogue among them.
inline constexpr int kExitOverLimit = kExitCritical;
// The kernel dropped datagrams for want of room: any of them may have been a rogue's answer, so all is not known
// to be well.
inline constexpr int kExitDropped = kExitWarning;
// An expected server stayed silent, or nothing answered at all.
inline constexpr int kExitSilent = kExitCritical;
// The probe could not say anything about the LAN: it did not start, its command line was refused, or
// the report could not be written to standard output (a closed pipe, a full disk).
inline constexpr int kExitStartupFailure = kExitUnknown;
inline constexpr int kExitRefusedCommandLine = kExitUnknown;
inline constexpr int kExitOutputFailure = kExitUnknown;

// A server whose replies carry a concern, and which ones (kConcern... bits).
struct ServerConcern {
    LanAddress server{};
    unsigned concerns = 0;
};

struct Verdict {
    int status = kExitSilent;
    std::vector<LanAddress> unexpected;      // servers that answered without being named, each on its LAN
    std::vector<ExpectedServer> silent;      // named servers that did not answer
    std::vector<ServerConcern> concerns;     // servers whose replies carry a concern, in the order first heard
    bool nothing_answered = true;            // no answer to the probe's request came, whatever else did
    std::vector<std::uint16_t> silent_lans;  // of several LANs judged, those where nothing answered
    bool vlans = false;                      // the LANs judged are --vlan's: servers are named with their VLAN
    int over_limit = 0;                      // answers from servers beyond the tally's limit
    int not_dhcp = 0;                        // datagrams that answered no request of the probe
    long long kernel_drops = 0;              // datagrams the kernel dropped while the tally was open
    // --quick ended the run once every expected server had answered: servers answering later were not
    // waited for, so "no stranger" is not known. Set by the caller.
    bool ended_early = false;
};

// Judges the servers of the LANs in lans (the untagged LAN alone without --vlan): CRITICAL (2) when answers
// came from more servers than the tally keeps, an unexpected server answered, an expected server stayed silent
// or nothing answered on one of the LANs; else WARNING (1) when a reply carries a concern or the kernel dropped
// datagrams (whichever LAN they were for); else OK (0). Answers
// over the limit and datagrams that are no answer are counted for the whole tally, whatever the LANs.
// Datagrams that answer no request of the probe never make it OK. Pure.
Verdict judge_tally(const Tally& tally, const std::vector<ExpectedServer>& expected,
                    const std::vector<std::uint16_t>& lans = {kUntaggedLan});

// True when the server answered on its LAN: as a server identifier or as the source of a reply, or by its
// Ethernet source.
bool has_answered(const Tally& tally, const ExpectedServer& server);

// True when every expected server has answered (what --quick waits for); false when none is expected.
bool every_expected_answered(const Tally& tally, const std::vector<ExpectedServer>& expected);
