// --format nagios: the report as a monitoring plugin gives it, one status line with performance data and
// the servers as long output. Pure formatting, one line per string, no line end.
#pragma once

#include <string>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/verdict.h"

// The status word of an exit status: OK, WARNING, CRITICAL or UNKNOWN.
const char* plugin_status_word(int status);

// "DHCP CRITICAL - unexpected server 10.0.0.66 offered 10.0.0.150 | servers=2;;;; unexpected=1;;;;
// missing=0;;;; first_reply=0.012s;;;; verdict=5.003s;;;;"; first_reply_seconds below 0 is shown as U
// (nothing answered).
std::string nagios_status_line(const Tally& tally, const Verdict& verdict, bool expectations,
                               double first_reply_seconds, double verdict_seconds);

// The status line, then each server's line and what did not count or arrive.
std::vector<std::string> nagios_lines(const Tally& tally, const Verdict& verdict, bool expectations,
                                      const IntakeRecord& intake, double first_reply_seconds, double verdict_seconds);

// "DHCP UNKNOWN - reason": for a probe that could not look.
std::string nagios_unknown_line(const std::string& reason);
