// IPv6 packet decoding for capture: header, bounded extension-header walk, UDP and ICMPv6 checks.
#include "protocol/ipv6_packet.h"

#include "common/dhcpv6_wire.h"
#include "protocol/checksum.h"

namespace {

constexpr std::size_t kFragmentHeaderSize = 8;
constexpr std::size_t kIcmpv6HeaderSize = 4;  // type, code, checksum

std::uint16_t read16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

bool is_followed_extension(std::uint8_t next_header)
{
    return next_header == kNextHeaderHopByHop || next_header == kNextHeaderRouting ||
           next_header == kNextHeaderDestinationOptions;
}

// The upper-layer bytes verify when their sum with the pseudo-header is all ones.
bool upper_checksum_ok(const std::uint8_t* data, const Ipv6Packet& packet, std::uint8_t protocol, std::size_t length)
{
    return ipv6_upper_layer_checksum(packet.source, packet.destination, protocol, data + packet.upper_offset, length) ==
           0;
}

}  // namespace

Ipv6Packet decode_ipv6_packet(const std::uint8_t* data, std::size_t size)
{
    Ipv6Packet packet;
    if (size < kIpv6HeaderSize) return packet;
    packet.version = data[0] >> 4;
    packet.traffic_class = static_cast<std::uint8_t>((data[0] & 0x0f) << 4 | data[1] >> 4);
    packet.flow_label =
        static_cast<std::uint32_t>(data[1] & 0x0f) << 16 | static_cast<std::uint32_t>(data[2]) << 8 | data[3];
    packet.payload_length = read16(data + 4);
    packet.next_header = data[6];
    packet.hop_limit = data[7];
    for (std::size_t i = 0; i < 16; ++i) {
        packet.source[i] = data[8 + i];
        packet.destination[i] = data[24 + i];
    }
    if (packet.version != 6) {
        packet.outcome = Ipv6Outcome::kNotVersion6;
        return packet;
    }
    if (packet.payload_length > size - kIpv6HeaderSize) {
        packet.outcome = Ipv6Outcome::kPayloadTruncated;
        return packet;
    }
    const std::size_t end = kIpv6HeaderSize + packet.payload_length;
    packet.trailing_bytes = size - end;

    std::size_t at = kIpv6HeaderSize;
    std::uint8_t next = packet.next_header;
    while (is_followed_extension(next) || next == kNextHeaderFragment) {
        if (next == kNextHeaderFragment) {
            if (end - at < kFragmentHeaderSize) {
                packet.outcome = Ipv6Outcome::kExtensionTruncated;
                return packet;
            }
            packet.fragment_offset = static_cast<std::uint16_t>(read16(data + at + 2) >> 3);
            packet.more_fragments = (data[at + 3] & 0x01) != 0;
            packet.fragment_id = static_cast<std::uint32_t>(data[at + 4]) << 24 |
                                 static_cast<std::uint32_t>(data[at + 5]) << 16 |
                                 static_cast<std::uint32_t>(data[at + 6]) << 8 | data[at + 7];
            packet.upper_protocol = data[at];
            packet.upper_offset = at + kFragmentHeaderSize;
            packet.upper_length = end - packet.upper_offset;
            packet.outcome = Ipv6Outcome::kFragment;
            return packet;
        }
        if (packet.extension_headers == kMaxExtensionHeaders) {
            packet.outcome = Ipv6Outcome::kTooManyExtensions;
            return packet;
        }
        // Next header, then the length in 8-byte units not counting the first eight.
        if (end - at < 2 || (static_cast<std::size_t>(data[at + 1]) + 1) * 8 > end - at) {
            packet.outcome = Ipv6Outcome::kExtensionTruncated;
            return packet;
        }
        next = data[at];
        at += (static_cast<std::size_t>(data[at + 1]) + 1) * 8;
        ++packet.extension_headers;
    }
    packet.upper_protocol = next;
    packet.upper_offset = at;
    packet.upper_length = end - at;
    packet.outcome = Ipv6Outcome::kOk;
    return packet;
}

UdpDatagram decode_udp(const std::uint8_t* data, std::size_t size, const Ipv6Packet& packet)
{
    UdpDatagram udp;
    if (packet.outcome != Ipv6Outcome::kOk || packet.upper_protocol != kNextHeaderUdp ||
        packet.upper_offset + packet.upper_length > size)
        return udp;
    if (packet.upper_length < kUdpHeaderSize) {
        udp.problem = UpperProblem::kTooShort;
        return udp;
    }
    const std::uint8_t* p = data + packet.upper_offset;
    udp.source_port = read16(p);
    udp.destination_port = read16(p + 2);
    udp.length = read16(p + 4);
    udp.checksum = read16(p + 6);
    udp.payload_offset = packet.upper_offset + kUdpHeaderSize;
    udp.payload_length = packet.upper_length - kUdpHeaderSize;
    if (udp.length != packet.upper_length)
        udp.problem = UpperProblem::kLengthMismatch;
    else if (udp.checksum == 0)
        udp.problem = UpperProblem::kZeroChecksum;
    else if (!upper_checksum_ok(data, packet, kNextHeaderUdp, packet.upper_length))
        udp.problem = UpperProblem::kBadChecksum;
    else
        udp.problem = UpperProblem::kNone;
    return udp;
}

Icmpv6Message decode_icmpv6(const std::uint8_t* data, std::size_t size, const Ipv6Packet& packet)
{
    Icmpv6Message icmp;
    if (packet.outcome != Ipv6Outcome::kOk || packet.upper_protocol != kNextHeaderIcmpv6 ||
        packet.upper_offset + packet.upper_length > size)
        return icmp;
    if (packet.upper_length < kIcmpv6HeaderSize) {
        icmp.problem = UpperProblem::kTooShort;
        return icmp;
    }
    icmp.type = data[packet.upper_offset];
    icmp.code = data[packet.upper_offset + 1];
    icmp.offset = packet.upper_offset;
    icmp.length = packet.upper_length;
    icmp.problem = upper_checksum_ok(data, packet, kNextHeaderIcmpv6, packet.upper_length) ? UpperProblem::kNone
                                                                                           : UpperProblem::kBadChecksum;
    return icmp;
}

const char* ipv6_outcome_text(Ipv6Outcome outcome)
{
    switch (outcome) {
        case Ipv6Outcome::kOk: return "ok";
        case Ipv6Outcome::kTooShort: return "shorter than an IPv6 header";
        case Ipv6Outcome::kNotVersion6: return "not IP version 6";
        case Ipv6Outcome::kPayloadTruncated: return "payload cut short";
        case Ipv6Outcome::kExtensionTruncated: return "extension header cut short";
        case Ipv6Outcome::kTooManyExtensions: return "too many extension headers";
        case Ipv6Outcome::kFragment: return "fragment";
    }
    return "unknown";
}

const char* upper_problem_text(UpperProblem problem)
{
    switch (problem) {
        case UpperProblem::kNone: return "ok";
        case UpperProblem::kWrongProtocol: return "not this protocol";
        case UpperProblem::kTooShort: return "shorter than its header";
        case UpperProblem::kLengthMismatch: return "UDP length differs from the IPv6 payload";
        case UpperProblem::kZeroChecksum: return "UDP checksum missing";
        case UpperProblem::kBadChecksum: return "bad checksum";
    }
    return "unknown";
}
