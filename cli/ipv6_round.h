// The IPv6 half of a round: the sockets of each interface, one SOLICIT and one Router Solicitation each, and
// the DHCPv6 datagrams and router advertisements taken off them into the session's IPv6 tallies and reports.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/probe_options.h"
#include "net/network.h"

struct ProbeSession;
struct Ipv6Socket;

// Opens port 546 and the raw ICMPv6 socket on --interface, or on every Ethernet interface that is up without
// it. Returns an empty string, or the one line that says what failed and which right it needs.
std::string open_ipv6_sockets(const ProbeOptions& options, SocketLibraryState& library,
                              std::vector<Ipv6Socket>& sockets, const char* program_path);

// The pacer's name for an interface's IPv6 requests: the 1 s floor counts per interface and family.
std::string ipv6_pacer_key(const std::string& device);

// A fresh transaction id for the round and, through every IPv6 socket, a SOLICIT to ff02::1:2 port 547 and a
// Router Solicitation to ff02::2, each as soon as the pacer lets it go.
void send_ipv6_requests(ProbeSession& session);

// The endpoints to wait on after the IPv4 ones: each socket's DHCPv6 endpoint, then its router endpoint.
void add_ipv6_endpoints(const ProbeSession& session, std::vector<Endpoint>& endpoints);

// One datagram off the IPv6 endpoint with this index among add_ipv6_endpoints' own.
void take_ipv6_datagram(ProbeSession& session, std::size_t index);
