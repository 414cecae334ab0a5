// IPv6 packets built by hand for a packet socket: the IPv6 header with UDP or ICMPv6 behind it, checksums
// filled, and the Ethernet group address an IPv6 multicast goes to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/ethernet.h"
#include "common/ipv6.h"

struct Ipv6Endpoints {
    Ipv6Address source{};
    Ipv6Address destination{};
    std::uint8_t hop_limit = 0;  // kDhcpv6HopLimit for a SOLICIT, kNeighborDiscoveryHopLimit for an RS
};

// IPv6 + UDP around payload; the UDP checksum is computed (a computed 0 goes out as 0xFFFF). Empty when
// the datagram would not fit a payload length.
std::vector<std::uint8_t> build_ipv6_udp(const Ipv6Endpoints& endpoints, std::uint16_t source_port,
                                         std::uint16_t destination_port, const std::uint8_t* payload,
                                         std::size_t length);

// IPv6 + ICMPv6 message; the message's checksum field is overwritten with the computed one. Empty when the
// message is shorter than an ICMPv6 header or would not fit a payload length.
std::vector<std::uint8_t> build_ipv6_icmpv6(const Ipv6Endpoints& endpoints, const std::uint8_t* message,
                                            std::size_t length);

// 33:33 and the last four bytes of the group (RFC 2464 section 7).
HardwareAddress ipv6_multicast_hardware_address(const Ipv6Address& group);
