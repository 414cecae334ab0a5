// The kernel socket filter of the window program's packet socket on Linux, as a classic BPF program: only the
// frames whose IPv4 UDP datagram to port 68 a socket bound to that port would be handed.
#pragma once

#include <array>
#include <cstddef>

#include "protocol/bpf_program.h"

inline constexpr std::size_t kReplyCaptureFilterSize = 21;

// Accepts a frame to this host or to the broadcast address, on an Ethernet or loopback interface, untagged or with
// a priority tag (VLAN 0) that the kernel took off, carrying a whole (unfragmented) IPv4 UDP datagram to port 68,
// with or without IP options. Refused, as the host's IPv4 layer refuses them: frames for other stations, frames
// this host sends (the socket sees them going out, and on loopback again coming in), and frames of a VLAN, which
// reach a socket only through that VLAN's own interface, where the packet socket sees them untagged. No frame to
// port 67, no fragment (a bound socket gets the datagram only once it is whole, which is never done here).
extern const std::array<BpfInstruction, kReplyCaptureFilterSize> kReplyCaptureFilter;
