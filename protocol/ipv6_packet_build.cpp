// IPv6 + UDP and IPv6 + ICMPv6 packets with their checksums, for sending through a packet socket.
#include "protocol/ipv6_packet_build.h"

#include "common/dhcpv6_wire.h"
#include "protocol/checksum.h"

namespace {

constexpr std::size_t kMaxPayload = 0xffff;

void put16(std::uint8_t* p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value & 0xff);
}

// The IPv6 header for payload_length bytes of next_header, traffic class and flow label zero.
std::vector<std::uint8_t> ipv6_header(const Ipv6Endpoints& endpoints, std::uint8_t next_header,
                                      std::size_t payload_length)
{
    std::vector<std::uint8_t> packet(kIpv6HeaderSize + payload_length);
    packet[0] = 6 << 4;
    put16(packet.data() + 4, static_cast<std::uint16_t>(payload_length));
    packet[6] = next_header;
    packet[7] = endpoints.hop_limit;
    for (std::size_t i = 0; i < 16; ++i) {
        packet[8 + i] = endpoints.source[i];
        packet[24 + i] = endpoints.destination[i];
    }
    return packet;
}

}  // namespace

std::vector<std::uint8_t> build_ipv6_udp(const Ipv6Endpoints& endpoints, std::uint16_t source_port,
                                         std::uint16_t destination_port, const std::uint8_t* payload,
                                         std::size_t length)
{
    if (length > kMaxPayload - kUdpHeaderSize) return {};
    const std::size_t udp_length = kUdpHeaderSize + length;
    std::vector<std::uint8_t> packet = ipv6_header(endpoints, kNextHeaderUdp, udp_length);
    std::uint8_t* udp = packet.data() + kIpv6HeaderSize;
    put16(udp, source_port);
    put16(udp + 2, destination_port);
    put16(udp + 4, static_cast<std::uint16_t>(udp_length));
    for (std::size_t i = 0; i < length; ++i) udp[kUdpHeaderSize + i] = payload[i];
    const std::uint16_t sum =
        ipv6_upper_layer_checksum(endpoints.source, endpoints.destination, kNextHeaderUdp, udp, udp_length);
    // Zero on the wire means "no checksum", which IPv6 forbids; all ones is the same sum.
    put16(udp + 6, sum == 0 ? 0xffff : sum);
    return packet;
}

std::vector<std::uint8_t> build_ipv6_icmpv6(const Ipv6Endpoints& endpoints, const std::uint8_t* message,
                                            std::size_t length)
{
    if (length < kIcmpv6ChecksumOffset + 2 || length > kMaxPayload) return {};
    std::vector<std::uint8_t> packet = ipv6_header(endpoints, kNextHeaderIcmpv6, length);
    std::uint8_t* icmp = packet.data() + kIpv6HeaderSize;
    for (std::size_t i = 0; i < length; ++i) icmp[i] = message[i];
    put16(icmp + kIcmpv6ChecksumOffset, 0);
    put16(icmp + kIcmpv6ChecksumOffset,
          ipv6_upper_layer_checksum(endpoints.source, endpoints.destination, kNextHeaderIcmpv6, icmp, length));
    return packet;
}

HardwareAddress ipv6_multicast_hardware_address(const Ipv6Address& group)
{
    return {0x33, 0x33, group[12], group[13], group[14], group[15]};
}
