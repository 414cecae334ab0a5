// Capture mode's half of a round: the DISCOVER framed for each LAN and sent through a packet socket, and the
// replies taken off its ring through the same log, walk and report as a socket's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/probe_session.h"

// The pacer's name for one LAN of an interface: the interface alone for the untagged LAN, so that the floor
// of one DISCOVER a second holds per interface and per VLAN.
std::string pacer_key(const std::string& device, std::uint16_t lan);

// One DISCOVER per LAN of the run through socket, each as soon as the pacer lets it go: from 0.0.0.0:68 to
// 255.255.255.255:67, Ethernet broadcast from the socket's frame source, tagged for a VLAN.
void send_captured_requests(ProbeSession& session, const ProbeSocket& socket);

// Every datagram ready in the ring of sockets[index]: those a socket bound to port 68 here would take, answering
// our request (judge_ours), go the way a socket's reply goes; the rest, requests of other clients to port 67 and
// frames that are no datagram are only counted, by kind. Then the kernel's counts.
void take_captured_replies(ProbeSession& session, std::size_t index);
