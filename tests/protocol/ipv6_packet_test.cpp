// The IPv6 packet layer: frames built for the wire (checked by tshark in the lab), the header and
// extension-header walk, UDP and ICMPv6 checks, on good and broken packets.
#include <gtest/gtest.h>

#include "common/dhcpv6_wire.h"
#include "hex_bytes.h"
#include "protocol/dhcpv6_solicit.h"
#include "protocol/ipv6_packet.h"
#include "protocol/ipv6_packet_build.h"
#include "protocol/router_solicit.h"

namespace {

// The SOLICIT (IA_NA and IA_PD, elapsed 1.5 s) and the RS sent through a packet socket in the lab;
// tshark found both checksums correct.
const char* const kBuiltSolicit =
    "60000000004a1101fe80000000000000004f52fffe560001ff020000000000000000000000010002"
    "02220223004ab250 014f76020001000a00030001024f52560001000800020096000600060017001800520003000c0a0b0c0d"
    "00000000000000000019000c0a0b0c0d0000000000000000";
const char* const kBuiltRs =
    "6000000000103afffe80000000000000004f52fffe560001ff020000000000000000000000000002"
    "8500d5e1000000000101024f52560001";

const Ipv6Address kClient{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x4f, 0x52, 0xff, 0xfe, 0x56, 0, 1};
const HardwareAddress kClientMac{0x02, 0x4f, 0x52, 0x56, 0x00, 0x01};

TEST(Ipv6Build, SolicitAndSolicitationMatchWhatTsharkAccepted)
{
    const SolicitFields fields{{0x4f, 0x76, 0x02}, kClientMac, 150, 0x0a0b0c0d, true};
    const std::vector<std::uint8_t> solicit = build_solicit(fields);
    EXPECT_EQ(build_ipv6_udp({kClient, kAllDhcpAgents, kDhcpv6HopLimit}, kDhcpv6ClientPort, kDhcpv6ServerPort,
                             solicit.data(), solicit.size()),
              hex_bytes(kBuiltSolicit));
    RouterSolicitationFields rs_fields;
    rs_fields.has_source_link_layer = true;
    rs_fields.source_link_layer = kClientMac;
    const std::vector<std::uint8_t> rs = build_router_solicitation(rs_fields);  // checksum left 0
    EXPECT_EQ(build_ipv6_icmpv6({kClient, kAllRouters, kNeighborDiscoveryHopLimit}, rs.data(), rs.size()),
              hex_bytes(kBuiltRs));
    EXPECT_EQ(ipv6_multicast_hardware_address(kAllDhcpAgents), (HardwareAddress{0x33, 0x33, 0, 1, 0, 2}));
}

TEST(Ipv6Build, UdpChecksumIsNeverSentAsZero)
{
    // The payload makes the checksum come out 0; it must go out as all ones and still verify.
    std::vector<std::uint8_t> payload{0, 0};
    std::vector<std::uint8_t> packet = build_ipv6_udp({kClient, kAllDhcpAgents, 1}, 546, 547, payload.data(), 2);
    const std::uint16_t first = static_cast<std::uint16_t>(packet[46] << 8 | packet[47]);
    payload = {static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first & 0xff)};
    packet = build_ipv6_udp({kClient, kAllDhcpAgents, 1}, 546, 547, payload.data(), 2);
    EXPECT_EQ(packet[46], 0xff);
    EXPECT_EQ(packet[47], 0xff);
    const Ipv6Packet decoded = decode_ipv6_packet(packet.data(), packet.size());
    EXPECT_EQ(decode_udp(packet.data(), packet.size(), decoded).problem, UpperProblem::kNone);
    EXPECT_TRUE(build_ipv6_udp({}, 1, 2, nullptr, 65528).empty());
    EXPECT_TRUE(build_ipv6_icmpv6({}, payload.data(), 1).empty());
}

TEST(Ipv6Decode, BuiltSolicitDecodesToItsParts)
{
    const std::vector<std::uint8_t> bytes = hex_bytes(kBuiltSolicit);
    const Ipv6Packet packet = decode_ipv6_packet(bytes.data(), bytes.size());
    EXPECT_EQ(packet.outcome, Ipv6Outcome::kOk);
    EXPECT_EQ(packet.hop_limit, 1);
    EXPECT_EQ(packet.source, kClient);
    EXPECT_EQ(packet.destination, kAllDhcpAgents);
    const UdpDatagram udp = decode_udp(bytes.data(), bytes.size(), packet);
    EXPECT_EQ(udp.problem, UpperProblem::kNone);
    EXPECT_EQ(udp.source_port, 546);
    EXPECT_EQ(udp.destination_port, 547);
    EXPECT_EQ(udp.payload_offset, 48u);
    EXPECT_EQ(udp.payload_length, 66u);
    EXPECT_EQ(decode_icmpv6(bytes.data(), bytes.size(), packet).problem, UpperProblem::kWrongProtocol);
}

struct PacketRow {
    const char* what;
    std::string hex;
    Ipv6Outcome outcome;
    std::uint8_t upper_protocol;
    std::size_t upper_offset;
    UpperProblem udp;
};

// Header for 24 bytes of payload behind next header nh; the addresses are all zero.
std::string header(const char* payload_length, const char* next_header)
{
    return std::string("60000000") + payload_length + next_header + "ff" + std::string(64, '0');
}

const std::string kUdpZeroSum = "0222 0223 0008 0000";

// clang-format off
const PacketRow kPacketRows[] = {
    {"too short", "6000000000001100", Ipv6Outcome::kTooShort, 0, 0, UpperProblem::kWrongProtocol},
    {"version 4", "45" + header("0000", "11").substr(2), Ipv6Outcome::kNotVersion6, 0, 0, UpperProblem::kWrongProtocol},
    {"payload length past the data", header("0010", "11") + kUdpZeroSum, Ipv6Outcome::kPayloadTruncated, 0, 0, UpperProblem::kWrongProtocol},
    {"UDP with zero checksum", header("0008", "11") + kUdpZeroSum, Ipv6Outcome::kOk, 17, 40, UpperProblem::kZeroChecksum},
    {"UDP with padding after it", header("0008", "11") + kUdpZeroSum + "000000", Ipv6Outcome::kOk, 17, 40, UpperProblem::kZeroChecksum},
    {"UDP length above payload", header("0008", "11") + "0222 0223 0009 1234", Ipv6Outcome::kOk, 17, 40, UpperProblem::kLengthMismatch},
    {"UDP header cut", header("0004", "11") + "02220223", Ipv6Outcome::kOk, 17, 40, UpperProblem::kTooShort},
    {"UDP with a wrong checksum", header("0008", "11") + "0222 0223 0008 1234", Ipv6Outcome::kOk, 17, 40, UpperProblem::kBadChecksum},
    {"hop-by-hop then UDP", header("0010", "00") + "1100 000000000000" + kUdpZeroSum, Ipv6Outcome::kOk, 17, 48, UpperProblem::kZeroChecksum},
    {"hop-by-hop, routing, destination options", header("0028", "00") + "2b00 000000000000" + "3c01" + std::string(28, '0') + "1100 000000000000" + kUdpZeroSum, Ipv6Outcome::kOk, 17, 72, UpperProblem::kZeroChecksum},
    {"extension header past the payload", header("0008", "00") + "1101 000000000000", Ipv6Outcome::kExtensionTruncated, 0, 0, UpperProblem::kWrongProtocol},
    {"fragment", header("0010", "2c") + "1100 0009 00000001" + kUdpZeroSum, Ipv6Outcome::kFragment, 17, 48, UpperProblem::kWrongProtocol},
    {"fragment header cut", header("0004", "2c") + "11000009", Ipv6Outcome::kExtensionTruncated, 0, 0, UpperProblem::kWrongProtocol},
    {"no next header", header("0000", "3b"), Ipv6Outcome::kOk, 59, 40, UpperProblem::kWrongProtocol},
};
// clang-format on

TEST(Ipv6Decode, OutcomesOfTheHeaderWalkAndTheUdpChecks)
{
    for (const PacketRow& row : kPacketRows) {
        const std::vector<std::uint8_t> bytes = hex_bytes(row.hex);
        const Ipv6Packet packet = decode_ipv6_packet(bytes.data(), bytes.size());
        EXPECT_EQ(packet.outcome, row.outcome) << row.what;
        if (row.outcome == Ipv6Outcome::kOk || row.outcome == Ipv6Outcome::kFragment) {
            EXPECT_EQ(packet.upper_protocol, row.upper_protocol) << row.what;
            EXPECT_EQ(packet.upper_offset, row.upper_offset) << row.what;
            EXPECT_LE(packet.upper_offset + packet.upper_length, bytes.size()) << row.what;
        }
        EXPECT_EQ(decode_udp(bytes.data(), bytes.size(), packet).problem, row.udp) << row.what;
    }
}

TEST(Ipv6Decode, FragmentFieldsAndExtensionLimit)
{
    const std::vector<std::uint8_t> fragment = hex_bytes(header("0010", "2c") + "1100 0009 00000001" + kUdpZeroSum);
    const Ipv6Packet packet = decode_ipv6_packet(fragment.data(), fragment.size());
    EXPECT_EQ(packet.fragment_offset, 1);
    EXPECT_TRUE(packet.more_fragments);
    EXPECT_EQ(packet.fragment_id, 1u);
    // Nine destination-options headers in a row: the walk stops at eight.
    std::string chain;
    for (int i = 0; i < 9; ++i) chain += "3c00 000000000000";
    const std::vector<std::uint8_t> long_chain = hex_bytes(header("0048", "3c") + chain);
    EXPECT_EQ(decode_ipv6_packet(long_chain.data(), long_chain.size()).outcome, Ipv6Outcome::kTooManyExtensions);
}

TEST(Ipv6Decode, Icmpv6ChecksumOfTheBuiltSolicitation)
{
    std::vector<std::uint8_t> bytes = hex_bytes(kBuiltRs);
    Ipv6Packet packet = decode_ipv6_packet(bytes.data(), bytes.size());
    Icmpv6Message icmp = decode_icmpv6(bytes.data(), bytes.size(), packet);
    EXPECT_EQ(icmp.problem, UpperProblem::kNone);
    EXPECT_EQ(icmp.type, kIcmpv6RouterSolicitation);
    EXPECT_EQ(icmp.offset, 40u);
    EXPECT_EQ(icmp.length, 16u);
    bytes[8 + 15] ^= 1;  // another source: the pseudo-header no longer matches
    packet = decode_ipv6_packet(bytes.data(), bytes.size());
    EXPECT_EQ(decode_icmpv6(bytes.data(), bytes.size(), packet).problem, UpperProblem::kBadChecksum);
}

}  // namespace
