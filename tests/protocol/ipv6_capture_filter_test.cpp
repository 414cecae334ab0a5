// The IPv6 capture filter run by a small classic-BPF interpreter over frames it must keep or drop.
#include <gtest/gtest.h>

#include "common/dhcpv6_wire.h"
#include "hex_bytes.h"
#include "protocol/ipv6_capture_filter.h"
#include "protocol/ipv6_packet_build.h"
#include "support/classic_bpf.h"

namespace {

std::uint32_t run_filter(const BpfInstruction* program, std::size_t count, const std::vector<std::uint8_t>& frame)
{
    bool understood = true;
    const std::uint32_t kept =
        run_classic_bpf(std::span<const BpfInstruction>(program, count), frame.data(), frame.size(), 0, &understood);
    EXPECT_TRUE(understood);
    return kept;
}

std::vector<std::uint8_t> ethernet(const char* ethertype, const std::vector<std::uint8_t>& packet)
{
    std::vector<std::uint8_t> frame = hex_bytes(std::string("333300000001 024f52560002") + ethertype);
    frame.insert(frame.end(), packet.begin(), packet.end());
    return frame;
}

std::vector<std::uint8_t> udp_to(std::uint16_t port)
{
    const std::vector<std::uint8_t> payload{2, 1, 2, 3};
    return build_ipv6_udp({{0xfe, 0x80}, kAllNodes, 1}, kDhcpv6ServerPort, port, payload.data(), payload.size());
}

std::vector<std::uint8_t> icmp_of_type(std::uint8_t type)
{
    std::vector<std::uint8_t> message(16, 0);
    message[0] = type;
    return build_ipv6_icmpv6({{0xfe, 0x80}, kAllNodes, 255}, message.data(), message.size());
}

// The UDP datagram behind a Hop-by-Hop header.
std::vector<std::uint8_t> udp_after_hop_by_hop()
{
    std::vector<std::uint8_t> packet = udp_to(546);
    packet[6] = kNextHeaderHopByHop;
    const std::vector<std::uint8_t> hop_by_hop{kNextHeaderUdp, 0, 0, 0, 0, 0, 0, 0};
    packet.insert(packet.begin() + 40, hop_by_hop.begin(), hop_by_hop.end());
    return packet;
}

TEST(Ipv6CaptureFilter, KeepsAnswersToPort546AndRouterAdvertsOnly)
{
    std::vector<std::uint8_t> ipv4_udp = hex_bytes(
        "450000200000000001110000c0a80001c0a80002"
        "0223 0222 000c 0000");
    ipv4_udp.resize(60);  // long enough that port 546 sits where an IPv6 one would
    ipv4_udp[56] = 0x02;
    ipv4_udp[57] = 0x22;
    const struct {
        const char* what;
        std::vector<std::uint8_t> frame;
        bool kept;
    } rows[] = {
        {"UDP to 546", ethernet("86dd", udp_to(546)), true},
        {"UDP to 547", ethernet("86dd", udp_to(547)), false},
        {"router advertisement", ethernet("86dd", icmp_of_type(kIcmpv6RouterAdvertisement)), true},
        {"router solicitation", ethernet("86dd", icmp_of_type(kIcmpv6RouterSolicitation)), false},
        {"neighbor solicitation", ethernet("86dd", icmp_of_type(135)), false},
        {"UDP to 546 after a Hop-by-Hop header", ethernet("86dd", udp_after_hop_by_hop()), false},
        {"IPv4 with 546 at the same place",
         ethernet("0800", std::vector<std::uint8_t>(ipv4_udp.begin() + 14, ipv4_udp.end())), false},
        {"VLAN-tagged UDP to 546", ethernet("8100", udp_to(546)), false},
        {"cut inside the UDP header",
         [] {
             std::vector<std::uint8_t> frame = ethernet("86dd", udp_to(546));
             frame.resize(55);
             return frame;
         }(),
         false},
    };
    std::size_t count = 0;
    const BpfInstruction* program = ipv6_capture_filter(count);
    ASSERT_GT(count, 0u);
    for (const auto& row : rows) EXPECT_EQ(run_filter(program, count, row.frame) != 0, row.kept) << row.what;
}

TEST(Ipv6CaptureFilter, EveryJumpLandsInsideAndTheLastInstructionReturns)
{
    std::size_t count = 0;
    const BpfInstruction* program = ipv6_capture_filter(count);
    for (std::size_t pc = 0; pc < count; ++pc) {
        if ((program[pc].code & 0x07) == kBpfJmp) {
            EXPECT_LT(pc + 1 + program[pc].jt, count) << pc;
            EXPECT_LT(pc + 1 + program[pc].jf, count) << pc;
        }
    }
    EXPECT_EQ(program[count - 1].code, kBpfRet | kBpfConstant);
}

}  // namespace
