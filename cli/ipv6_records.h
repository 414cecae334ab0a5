// The IPv6 half of a round's record for the metrics and the events: each DHCPv6 server (by DUID) and each router
// (by link-local address) as a record of family "ipv6", and the ones named on the command line. Pure.
#pragma once

#include <string>

#include "cli/ipv6_tally.h"
#include "cli/round_record.h"

// Adds the round's IPv6 servers, routers and named ones to record, and their counts to its own. A router's
// `server` label is its link-local address, which no DUID (hex without colons) can be mistaken for.
// round_started is the round's request in seconds since the probe started; probe_interface is --interface or "".
void add_ipv6_records(RoundRecord& record, const Ipv6Tally& tally, const Ipv6Verdict& verdict,
                      const Ipv6Expectations& expected, double round_started, const std::string& probe_interface);
