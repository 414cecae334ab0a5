// The probe's own lines of the text report: each block's extra lines, the server summary, the verdict,
// the round line and the "why no reply?" lines. Pure formatting, one line per string, no line end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/reply_flags.h"
#include "cli/verdict.h"

// "2024-05-01T12:00:01.123Z"
std::string utc_time_text(std::int64_t unix_ms);

// The lines a block carries between the window program's lines and its separator: interface, source,
// message type and flags.
std::vector<std::string> extra_block_lines(const ReplyRecord& reply, const ReplyFlags& flags);

// " Flags word word", or empty when nothing is flagged.
std::string flags_line(const ReplyFlags& flags);

// One line per server: its name, whether it was expected, counts, first and last time, and paths.
// With vlans, each server is named with its VLAN.
std::string server_summary_line(const ServerRecord& server, bool expectations, bool vlans = false);
std::string silent_server_line(const ExpectedServer& server, bool vlans = false);

// " Ethernet 02:4f:52:56:00:01 (vendor)": a captured reply's Ethernet source and who made it.
std::string ethernet_text(const HardwareAddress& ethernet, const std::string& vendor);

// Every server once, then each silent expected one.
std::vector<std::string> summary_lines(const Tally& tally, const Verdict& verdict, bool expectations);

// "replies carry concerns: 10.0.0.5 offer-outside-relay-network, ...": the servers and their concern words.
std::string concerns_text(const std::vector<ServerConcern>& concerns);

// "3 datagrams dropped by the kernel; any of them may have been a rogue's": why a round with drops is no OK.
std::string drops_text(long long drops);

std::string verdict_text(const Verdict& verdict, bool expectations);
std::string verdict_line(const Verdict& verdict, bool expectations);
// A round the probe was stopped in (verdict null) is said to be cut short, not judged.
std::string round_line(int round, std::int64_t unix_ms, const Tally& tally, const Verdict* verdict, bool expectations);

// --vlan: one verdict line per VLAN, "VLAN 10: Verdict 0: ...", each judged alone.
std::vector<std::string> lan_verdict_lines(const Tally& tally, const std::vector<ExpectedServer>& expected,
                                           const std::vector<std::uint16_t>& lans);

std::vector<std::string> no_reply_lines(const NoReplyFacts& facts);

// The lines on what did not count or did not arrive whole: datagrams that were no answer, replies not
// logged, the kernel's drops, and with --capture the frames that were no reply. None when there is nothing to say.
std::vector<std::string> intake_lines(const Tally& tally, const IntakeRecord& intake);
