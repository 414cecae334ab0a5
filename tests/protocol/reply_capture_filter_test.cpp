// The window program's packet-socket filter run by a classic BPF interpreter: what a socket bound to port 68
// would be handed passes, everything else is refused.
#include <gtest/gtest.h>

#include "frame_samples.h"
#include "protocol/reply_capture_filter.h"
#include "support/classic_bpf.h"

namespace {

constexpr std::uint32_t kToUs = 0, kBroadcast = 1, kMulticast = 2, kOtherHost = 3, kOutgoing = 4, kLoopback = 5;
constexpr std::uint32_t kTunnel = 65534;  // ARPHRD_NONE: a frame that starts at its IP header

std::vector<std::uint8_t> reply(std::size_t options = 0, std::uint16_t port = 68)
{
    const std::vector<std::uint8_t> nops(options, 0x01);
    UdpFrameFields fields = reply_fields(0, port);
    fields.ip_options = nops;
    return build_frame(fields, payload_of(300));
}

// The reply with its IPv4 header edited at ip (14) and its header checksum put right again.
std::vector<std::uint8_t> edited(void (*edit)(std::vector<std::uint8_t>&))
{
    std::vector<std::uint8_t> frame = reply();
    edit(frame);
    refresh_ipv4_checksum(frame, 14);
    return frame;
}

TEST(ReplyCaptureFilter, PassesWhatABoundSocketTakesAndRefusesTheRest)
{
    struct Row {
        const char* name;
        std::vector<std::uint8_t> frame;
        FrameMetadata metadata;
        bool accepted;
    };
    std::vector<std::uint8_t> tag_left_in = reply();
    insert_tag(tag_left_in, 0x8100, 10);
    std::vector<std::uint8_t> short_frame = reply();
    short_frame.resize(14 + 21);
    const Row rows[] = {
        {"to us", reply(), {.packet_type = kToUs}, true},
        {"broadcast", reply(), {.packet_type = kBroadcast}, true},
        {"40 bytes of IP options", reply(40), {.packet_type = kBroadcast}, true},
        {"on loopback", reply(), {.packet_type = kToUs, .link_type = kLinkTypeLoopback}, true},
        {"priority tag taken off",
         reply(),
         {.packet_type = kBroadcast, .vlan_present = true, .vlan_tci = 0xE000},
         true},
        {"VLAN 10 taken off", reply(), {.packet_type = kBroadcast, .vlan_present = true, .vlan_tci = 0x000A}, false},
        {"VLAN 4094 with priority", reply(), {.packet_type = kToUs, .vlan_present = true, .vlan_tci = 0x2FFE}, false},
        {"a tag left in the frame", tag_left_in, {.packet_type = kBroadcast}, false},
        {"to another station", reply(), {.packet_type = kOtherHost}, false},
        {"multicast", reply(), {.packet_type = kMulticast}, false},
        {"going out", reply(), {.packet_type = kOutgoing}, false},
        {"our own broadcast looped back", reply(), {.packet_type = kLoopback}, false},
        {"on a tunnel", reply(), {.packet_type = kToUs, .link_type = kTunnel}, false},
        {"to port 67", reply(0, 67), {.packet_type = kBroadcast}, false},
        {"to port 67 with options", reply(8, 67), {.packet_type = kToUs}, false},
        {"first fragment", edited([](auto& f) { f[14 + 6] = 0x20; }), {.packet_type = kToUs}, false},
        {"later fragment", edited([](auto& f) { f[14 + 7] = 185; }), {.packet_type = kToUs}, false},
        {"don't fragment set", edited([](auto& f) { f[14 + 6] = 0x40; }), {.packet_type = kToUs}, true},
        {"TCP", edited([](auto& f) { f[14 + 9] = 6; }), {.packet_type = kToUs}, false},
        {"IPv6", edited([](auto& f) { put16(f, 12, 0x86DD); }), {.packet_type = kToUs}, false},
        {"ends before the port", short_frame, {.packet_type = kToUs}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool understood = false;
        const std::uint32_t length =
            run_classic_bpf(kReplyCaptureFilter, row.frame.data(), row.frame.size(), row.metadata, &understood);
        EXPECT_TRUE(understood) << "a refusal must come from the program, not from an instruction it lacks";
        EXPECT_EQ(length != 0, row.accepted);
        if (row.accepted) {
            EXPECT_GE(length, row.frame.size()) << "the frame must pass whole";
        }
    }
}

}  // namespace
