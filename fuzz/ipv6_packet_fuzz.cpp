// libFuzzer target: raw bytes as a captured IPv6 packet, whose upper-layer span must lie inside it; and the
// bytes as the payload of a built IPv6+UDP packet, which must decode back with a good checksum, and fail
// once any byte the checksum or the lengths cover is changed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/dhcpv6_wire.h"
#include "protocol/ipv6_packet.h"
#include "protocol/ipv6_packet_build.h"

namespace {

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "ipv6_packet_fuzz: %s\n", what);
    std::abort();
}

const Ipv6Address kClient{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x4f, 0x52, 0xff, 0xfe, 0x56, 0, 1};

void check_captured(const std::vector<std::uint8_t>& bytes)
{
    const Ipv6Packet packet = decode_ipv6_packet(bytes.data(), bytes.size());
    if (packet.outcome == Ipv6Outcome::kOk || packet.outcome == Ipv6Outcome::kFragment) {
        check(packet.upper_offset >= kIpv6HeaderSize, "upper layer inside the header");
        check(packet.upper_offset + packet.upper_length + packet.trailing_bytes == bytes.size(), "spans do not add up");
        check(packet.extension_headers <= kMaxExtensionHeaders, "too many extension headers walked");
    }
    const UdpDatagram udp = decode_udp(bytes.data(), bytes.size(), packet);
    if (udp.problem == UpperProblem::kNone)
        check(udp.payload_offset + udp.payload_length <= bytes.size() && udp.length == udp.payload_length + 8, "UDP");
    const Icmpv6Message icmp = decode_icmpv6(bytes.data(), bytes.size(), packet);
    if (icmp.problem == UpperProblem::kNone) check(icmp.offset + icmp.length <= bytes.size(), "ICMPv6 span");
}

void check_built(const std::uint8_t* data, std::size_t size)
{
    const std::uint16_t source_port = size >= 2 ? static_cast<std::uint16_t>(data[0] << 8 | data[1]) : 546;
    const std::vector<std::uint8_t> packet =
        build_ipv6_udp({kClient, kAllDhcpAgents, kDhcpv6HopLimit}, source_port, kDhcpv6ServerPort, data, size);
    const Ipv6Packet decoded = decode_ipv6_packet(packet.data(), packet.size());
    check(decoded.outcome == Ipv6Outcome::kOk && decoded.upper_protocol == kNextHeaderUdp, "built packet");
    const UdpDatagram udp = decode_udp(packet.data(), packet.size(), decoded);
    check(udp.problem == UpperProblem::kNone && udp.source_port == source_port && udp.payload_length == size,
          "built datagram");
    for (std::size_t i = 0; i < size; ++i) check(packet[udp.payload_offset + i] == data[i], "payload changed");

    // Bytes 8.. are the addresses, the UDP header and the payload: all under the checksum.
    if (size >= 3) {
        std::vector<std::uint8_t> changed = packet;
        const std::size_t at = 8 + (static_cast<std::size_t>(data[2]) * 7919u) % (changed.size() - 8);
        changed[at] ^= 0xff;
        const Ipv6Packet again = decode_ipv6_packet(changed.data(), changed.size());
        check(decode_udp(changed.data(), changed.size(), again).problem != UpperProblem::kNone, "change unnoticed");
    }
    if (size >= 4) {
        const std::vector<std::uint8_t> icmp_packet = build_ipv6_icmpv6({kClient, kAllRouters, 255}, data, size);
        const Ipv6Packet icmp_decoded = decode_ipv6_packet(icmp_packet.data(), icmp_packet.size());
        const Icmpv6Message icmp = decode_icmpv6(icmp_packet.data(), icmp_packet.size(), icmp_decoded);
        check(icmp.problem == UpperProblem::kNone && icmp.type == data[0] && icmp.length == size, "built ICMPv6");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096) return -1;
    check_captured(std::vector<std::uint8_t>(data, data + size));
    check_built(data, size);
    return 0;
}
