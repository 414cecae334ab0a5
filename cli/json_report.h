// The probe's JSON Lines: one object per reply, one per round in --monitor, and a closing summary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/reply_flags.h"
#include "cli/verdict.h"

// Each function gives one line of JSON without its line end.
std::string reply_json(const ReplyRecord& reply, const ReplyFlags& flags, const std::vector<ExpectedServer>& expected);

// lans are the LANs judged: with --vlan's list, the objects carry one verdict per VLAN as well. A round the probe
// was stopped in (verdict null) is marked cut_short and carries no verdict.
std::string round_json(int round, std::int64_t unix_ms, const Tally& tally, const Verdict* verdict,
                       const std::vector<ExpectedServer>& expected,
                       const std::vector<std::uint16_t>& lans = {kUntaggedLan});

// facts is null when something answered.
std::string summary_json(std::int64_t unix_ms, double elapsed, const SendRecord& sends, const IntakeRecord& intake,
                         int rounds, const Tally& tally, const Verdict& verdict,
                         const std::vector<ExpectedServer>& expected, const NoReplyFacts* facts,
                         const std::vector<std::uint16_t>& lans = {kUntaggedLan});

// The summary line with its verdict made UNKNOWN (3) for reason: the probe could not look. Unchanged when it
// is no JSON object. Pure.
std::string unknown_verdict_json(const std::string& summary_line, const std::string& reason);
