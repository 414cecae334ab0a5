// The classic BPF program that keeps, from untagged Ethernet frames, only what the IPv6 capture wants:
// UDP to the DHCPv6 client port and Router Advertisements.
#pragma once

#include <cstddef>
#include <cstdint>

// One instruction, laid out as the kernel's classic-BPF instruction (8 bytes, host byte order), so an
// array of these can be handed to SO_ATTACH_FILTER as it is.
struct BpfInstruction {
    std::uint16_t code;
    std::uint8_t jt;
    std::uint8_t jf;
    std::uint32_t k;
};
static_assert(sizeof(BpfInstruction) == 8, "classic BPF instructions are 8 bytes");

// Classic BPF opcodes used here.
inline constexpr std::uint16_t kBpfLoadHalfAbsolute = 0x28;  // A = 16 bits at k
inline constexpr std::uint16_t kBpfLoadByteAbsolute = 0x30;  // A = 8 bits at k
inline constexpr std::uint16_t kBpfJumpEqual = 0x15;         // A == k ? jt : jf
inline constexpr std::uint16_t kBpfReturn = 0x06;            // accept k bytes; 0 drops

// Frames are counted from the Ethernet header (a packet socket of type SOCK_RAW, no VLAN tag); IPv6 with
// next header directly UDP to port 546, or directly ICMPv6 of type 134, is kept whole, the rest dropped.
// Packets with extension headers before UDP or ICMPv6 are dropped.
const BpfInstruction* ipv6_capture_filter(std::size_t& count);
