// Builds Ethernet frames, optionally 802.1Q-tagged, that carry one IPv4 UDP datagram.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"
#include "protocol/frame_layout.h"

// Everything of a frame but its payload. The defaults are capture mode's DISCOVER: broadcast from
// 0.0.0.0:68 to 255.255.255.255:67, untagged, as RFC 2131 clients send before they have an address.
struct UdpFrameFields {
    HardwareAddress destination_mac = kBroadcastHardwareAddress;
    HardwareAddress source_mac{};
    std::uint16_t vlan_id = 0;  // 0: untagged; 1..4094: one 802.1Q tag with priority 0
    Ipv4Address source_ip{0, 0, 0, 0};
    Ipv4Address destination_ip = kLimitedBroadcast;
    std::uint8_t ttl = kDefaultTtl;
    std::uint16_t identification = 0;
    std::span<const std::uint8_t> ip_options{};  // a multiple of 4 bytes, at most 40
    std::uint16_t source_port = kDhcpClientPort;
    std::uint16_t destination_port = kDhcpServerPort;
    bool udp_checksum = true;  // false sends 0, "no checksum"
};

// The size of the frame build_udp_frame writes, zero padding to 60 bytes (64 when tagged, so the
// frame stays long enough once a switch removes the tag) included; 0 when the fields cannot be
// built: a VLAN id above 4094, options of a bad size, or a datagram over 65535 bytes.
std::size_t udp_frame_size(const UdpFrameFields& fields, std::size_t payload_length);

// Writes the frame into buffer and returns its length, with the IPv4 header and UDP checksums
// filled in and DF clear. Returns 0 and leaves the buffer untouched when the fields cannot be
// built or the frame does not fit in capacity bytes.
std::size_t build_udp_frame(const UdpFrameFields& fields, std::span<const std::uint8_t> payload, std::uint8_t* buffer,
                            std::size_t capacity);
