// The numbers of Ethernet, 802.1Q/802.1ad tags, IPv4 and UDP that capture mode builds and reads.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kEthernetHeaderSize = 14;  // destination, source, EtherType
inline constexpr std::size_t kVlanTagSize = 4;          // TPID, then priority, DEI and VLAN id
inline constexpr std::size_t kIpv4HeaderSize = 20;      // without options
inline constexpr std::size_t kIpv4MaxOptionsSize = 40;  // IHL is at most 15 words
inline constexpr std::size_t kUdpHeaderSize = 8;

// The smallest frame without its FCS; shorter ones are padded with zeros.
inline constexpr std::size_t kMinimumFrameSize = 60;
// The largest standard MAC payload; beyond it a frame is a jumbo frame.
inline constexpr std::size_t kMaximumEthernetPayload = 1500;

inline constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
inline constexpr std::uint16_t kTpidCustomerTag = 0x8100;  // 802.1Q
inline constexpr std::uint16_t kTpidServiceTag = 0x88A8;   // 802.1ad outer tag

inline constexpr std::uint16_t kVlanIdMask = 0x0FFF;
inline constexpr std::uint16_t kHighestVlanId = 4094;  // 4095 is reserved

inline constexpr std::uint8_t kIpv4ProtocolUdp = 17;
inline constexpr std::uint16_t kIpv4MoreFragments = 0x2000;
inline constexpr std::uint16_t kIpv4FragmentOffsetMask = 0x1FFF;

// Linux's default and RFC 1700's recommended TTL: the kernel would put the same value on the
// DISCOVER that the UDP socket path sends, so both paths look alike on the wire.
inline constexpr std::uint8_t kDefaultTtl = 64;

// Offsets within the IPv4 header.
inline constexpr std::size_t kIpv4TotalLengthOffset = 2;
inline constexpr std::size_t kIpv4IdentificationOffset = 4;
inline constexpr std::size_t kIpv4FragmentOffset = 6;
inline constexpr std::size_t kIpv4TtlOffset = 8;
inline constexpr std::size_t kIpv4ProtocolOffset = 9;
inline constexpr std::size_t kIpv4ChecksumOffset = 10;
inline constexpr std::size_t kIpv4SourceOffset = 12;
inline constexpr std::size_t kIpv4DestinationOffset = 16;

// Offsets within the UDP header.
inline constexpr std::size_t kUdpDestinationPortOffset = 2;
inline constexpr std::size_t kUdpLengthOffset = 4;
inline constexpr std::size_t kUdpChecksumOffset = 6;
