// The Internet checksum against headers whose checksums are known from the wire.
#include <gtest/gtest.h>

#include <vector>

#include "protocol/checksum.h"

namespace {

// An IPv4 header as sent on the wire, its checksum 0xB861 in place.
const std::vector<std::uint8_t> kHeader{0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
                                        0xB8, 0x61, 0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0xC7};

TEST(Checksum, ReceivedIpv4HeaderSumsToZeroAndZeroedFieldGivesTheValue)
{
    EXPECT_EQ(ipv4_header_checksum(kHeader.data(), kHeader.size()), 0);
    std::vector<std::uint8_t> zeroed = kHeader;
    zeroed[10] = zeroed[11] = 0;
    EXPECT_EQ(ipv4_header_checksum(zeroed.data(), zeroed.size()), 0xB861);
}

TEST(Checksum, UdpOverIpv4PutsTheChecksumWhereTheDatagramVerifiesToZero)
{
    // 0.0.0.0:68 -> 255.255.255.255:67 with an odd-length payload.
    std::vector<std::uint8_t> datagram{0x00, 0x44, 0x00, 0x43, 0x00, 0x0B, 0x00, 0x00, 0x01, 0x02, 0x03};
    const std::array<std::uint8_t, 4> source{0, 0, 0, 0};
    const std::array<std::uint8_t, 4> destination{255, 255, 255, 255};
    const std::uint16_t sum = udp_ipv4_checksum(source, destination, datagram.data(), datagram.size());
    datagram[6] = static_cast<std::uint8_t>(sum >> 8);
    datagram[7] = static_cast<std::uint8_t>(sum & 0xFF);
    // Summing again over a datagram that carries its checksum gives all ones, which the function
    // reports as 0xFFFF (a computed zero is always sent as 0xFFFF).
    EXPECT_EQ(udp_ipv4_checksum(source, destination, datagram.data(), datagram.size()), 0xFFFF);
}

TEST(Checksum, Icmpv6OverIpv6VerifiesToZeroOnceFilledIn)
{
    std::array<std::uint8_t, 16> source{0xfe, 0x80};
    source[15] = 1;
    std::array<std::uint8_t, 16> destination{0xff, 0x02};
    destination[15] = 2;
    // A router solicitation: type 133, code 0, checksum, reserved.
    std::vector<std::uint8_t> packet{133, 0, 0, 0, 0, 0, 0, 0};
    const std::uint16_t sum = ipv6_upper_layer_checksum(source, destination, 58, packet.data(), packet.size());
    packet[2] = static_cast<std::uint8_t>(sum >> 8);
    packet[3] = static_cast<std::uint8_t>(sum & 0xFF);
    EXPECT_EQ(ipv6_upper_layer_checksum(source, destination, 58, packet.data(), packet.size()), 0);
}

}  // namespace
