// The classic BPF program that keeps, from untagged Ethernet frames, only what the IPv6 capture wants:
// UDP to the DHCPv6 client port and Router Advertisements.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/bpf_program.h"

// Frames are counted from the Ethernet header (a packet socket of type SOCK_RAW, no VLAN tag); IPv6 with
// next header directly UDP to port 546, or directly ICMPv6 of type 134, is kept whole, the rest dropped.
// Packets with extension headers before UDP or ICMPv6 are dropped.
const BpfInstruction* ipv6_capture_filter(std::size_t& count);
