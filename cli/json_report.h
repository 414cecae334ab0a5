// The probe's JSON Lines: one object per reply, one per round in --monitor, and a closing summary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/reply_flags.h"
#include "cli/verdict.h"

// Each function gives one line of JSON without its line end.
std::string reply_json(const ReplyRecord& reply, const ReplyFlags& flags, const std::vector<Ipv4Address>& expected);

std::string round_json(int round, std::int64_t unix_ms, const Tally& tally, const Verdict& verdict,
                       const std::vector<Ipv4Address>& expected);

// facts is null when something answered.
std::string summary_json(std::int64_t unix_ms, double elapsed, const SendRecord& sends, const IntakeRecord& intake,
                         int rounds, const Tally& tally, const Verdict& verdict,
                         const std::vector<Ipv4Address>& expected, const NoReplyFacts* facts);
