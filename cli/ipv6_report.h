// The IPv6 half of the probe's reports: a text block and a JSON object per DHCPv6 datagram and router
// advertisement, the summary lines of servers and routers, and the IPv6 verdict. Pure formatting, no line ends.
#pragma once

#include <string>
#include <vector>

#include "cli/ipv6_tally.h"

// "DUID-LLT", "DUID-EN", "DUID-LL", "DUID-UUID" or "DUID type N".
std::string duid_kind_text(const Dhcpv6Duid& duid);

// A datagram's block: "DHCPv6 ADVERTISE from fe80::1 port 547 on eth0", then indented lines, then flags.
std::vector<std::string> dhcpv6_block_lines(const Dhcpv6Record& record, bool expectations);
// An advertisement's block: "Router advertisement from fe80::1 on eth0", then indented lines and its reasons.
std::vector<std::string> router_block_lines(const RouterRecord& record, bool expectations);

// One line per server and router, then the silent ones named on the command line, then what did not count.
std::vector<std::string> ipv6_summary_lines(const Ipv6Tally& tally, const Ipv6Verdict& verdict,
                                            const Ipv6Expectations& expected);

std::string ipv6_verdict_text(const Ipv6Verdict& verdict, const Ipv6Expectations& expected);

// JSON Lines: type "dhcpv6_reply" and "router_advert", and the "ipv6" object of the summary and rounds.
std::string dhcpv6_json(const Dhcpv6Record& record, bool expectations);
std::string router_json(const RouterRecord& record, bool expectations);
std::string ipv6_summary_json(const Ipv6Tally& tally, const Ipv6Verdict& verdict, const Ipv6Expectations& expected);

// The summary line of the whole run with the IPv6 object added as "ipv6", and "verdict.status" the graver of
// the two; ipv4 false: the IPv4 checks did not run, and its fields say nothing ("verdict.ipv4_status" null).
std::string merge_ipv6_summary(const std::string& summary_line, const std::string& ipv6_object, int status, bool ipv4);

// --format nagios with -6: "DHCP CRITICAL - IPv4: ...; IPv6: ... | servers6=1;;;; routers6=2;;;; unexpected6=1;;;;
// missing6=0;;;; invalid_ra=0;;;; foreign6=0;;;; verdict=5.003s;;;;", from the whole run's verdict line.
std::string nagios_ipv6_status_line(int status, const std::string& verdict_line, const Ipv6Tally& tally,
                                    const Ipv6Verdict& verdict, double verdict_seconds);
