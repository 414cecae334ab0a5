// Builds Ethernet frames, optionally 802.1Q-tagged, that carry one IPv4 UDP datagram.
#include "protocol/frame_builder.h"

#include <algorithm>
#include <cstring>

#include "protocol/checksum.h"

namespace {

constexpr std::size_t kLargestDatagram = 0xFFFF;

void put16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value & 0xFF);
}

std::size_t ethernet_header_size(const UdpFrameFields& fields)
{
    return kEthernetHeaderSize + (fields.vlan_id != 0 ? kVlanTagSize : 0);
}

// The IPv4 datagram's length, or 0 when it cannot be built.
std::size_t datagram_size(const UdpFrameFields& fields, std::size_t payload_length)
{
    if (fields.vlan_id > kHighestVlanId) return 0;
    if (fields.ip_options.size() % 4 != 0 || fields.ip_options.size() > kIpv4MaxOptionsSize) return 0;
    const std::size_t fixed = kIpv4HeaderSize + fields.ip_options.size() + kUdpHeaderSize;
    if (payload_length > kLargestDatagram - fixed) return 0;
    return fixed + payload_length;
}

}  // namespace

std::size_t udp_frame_size(const UdpFrameFields& fields, std::size_t payload_length)
{
    const std::size_t datagram = datagram_size(fields, payload_length);
    if (datagram == 0) return 0;
    const std::size_t header = ethernet_header_size(fields);
    return std::max(header + datagram, kMinimumFrameSize + header - kEthernetHeaderSize);
}

std::size_t build_udp_frame(const UdpFrameFields& fields, std::span<const std::uint8_t> payload, std::uint8_t* buffer,
                            std::size_t capacity)
{
    const std::size_t frame_size = udp_frame_size(fields, payload.size());
    if (frame_size == 0 || buffer == nullptr || frame_size > capacity) return 0;
    std::memset(buffer, 0, frame_size);

    std::uint8_t* at = buffer;
    std::memcpy(at, fields.destination_mac.data(), 6);
    std::memcpy(at + 6, fields.source_mac.data(), 6);
    at += 12;
    if (fields.vlan_id != 0) {
        put16(at, kTpidCustomerTag);
        put16(at + 2, fields.vlan_id);  // priority 0, DEI clear
        at += kVlanTagSize;
    }
    put16(at, kEtherTypeIpv4);
    at += 2;

    std::uint8_t* ip = at;
    const std::size_t ip_header_size = kIpv4HeaderSize + fields.ip_options.size();
    const std::size_t total_length = datagram_size(fields, payload.size());
    ip[0] = static_cast<std::uint8_t>(0x40 | ip_header_size / 4);
    put16(ip + kIpv4TotalLengthOffset, static_cast<std::uint16_t>(total_length));
    put16(ip + kIpv4IdentificationOffset, fields.identification);
    ip[kIpv4TtlOffset] = fields.ttl;
    ip[kIpv4ProtocolOffset] = kIpv4ProtocolUdp;
    std::memcpy(ip + kIpv4SourceOffset, fields.source_ip.data(), 4);
    std::memcpy(ip + kIpv4DestinationOffset, fields.destination_ip.data(), 4);
    if (!fields.ip_options.empty())
        std::memcpy(ip + kIpv4HeaderSize, fields.ip_options.data(), fields.ip_options.size());
    put16(ip + kIpv4ChecksumOffset, ipv4_header_checksum(ip, ip_header_size));

    std::uint8_t* udp = ip + ip_header_size;
    const std::size_t udp_length = kUdpHeaderSize + payload.size();
    put16(udp, fields.source_port);
    put16(udp + kUdpDestinationPortOffset, fields.destination_port);
    put16(udp + kUdpLengthOffset, static_cast<std::uint16_t>(udp_length));
    if (!payload.empty()) std::memcpy(udp + kUdpHeaderSize, payload.data(), payload.size());
    if (fields.udp_checksum)
        put16(udp + kUdpChecksumOffset, udp_ipv4_checksum(fields.source_ip, fields.destination_ip, udp, udp_length));
    return frame_size;
}
