// The capture filter run by a classic BPF interpreter over frames it must pass and frames it must refuse.
#include <gtest/gtest.h>

#include <functional>

#include "frame_samples.h"
#include "protocol/capture_filter.h"
#include "support/classic_bpf.h"

namespace {

constexpr std::uint32_t kToUs = 0, kBroadcast = 1, kOutgoing = 4;  // the kernel's packet types

struct FilterCase {
    const char* name;
    std::vector<std::uint8_t> frame;  // as the filter sees it: the kernel has taken off one tag
    std::uint32_t packet_type;
    bool accepted;
};

// A frame built from fields with options, then edited at its IPv4 header (at ip) and put right again.
std::vector<std::uint8_t> frame_of(UdpFrameFields fields, std::size_t options = 0,
                                   const std::function<void(std::vector<std::uint8_t>&, std::size_t)>& edit = {})
{
    const std::vector<std::uint8_t> nops(options, 0x01);
    fields.ip_options = nops;
    std::vector<std::uint8_t> frame = build_frame(fields, payload_of(300));
    const std::size_t ip = fields.vlan_id ? 18 : 14;
    if (edit) edit(frame, ip);
    refresh_ipv4_checksum(frame, ip);
    return frame;
}

std::vector<std::uint8_t> with_service_tag(std::vector<std::uint8_t> frame)
{
    put16(frame, 12, 0x88A8);
    return frame;
}

std::vector<std::uint8_t> cut(std::vector<std::uint8_t> frame, std::size_t length)
{
    frame.resize(length);
    return frame;
}

TEST(CaptureFilter, PassesDhcpUdpInEveryFormAndRefusesTheRest)
{
    const auto later_fragment = [](std::vector<std::uint8_t>& f, std::size_t ip) {
        f[ip + 7] = 185;
        put16(f, ip + 22, 53);  // where a port would be, were this the first fragment
    };
    const auto first_fragment = [](std::vector<std::uint8_t>& f, std::size_t ip) { f[ip + 6] = 0x20; };
    const auto tcp = [](std::vector<std::uint8_t>& f, std::size_t ip) { f[ip + 9] = 6; };
    // Port 68 where the UDP header would start without options; the real destination is 53.
    const auto port_68_among_options = [](std::vector<std::uint8_t>& f, std::size_t ip) { put16(f, ip + 22, 68); };
    UdpFrameFields discover{.source_mac = kClientMac};
    std::vector<std::uint8_t> arp(60, 0);
    put16(arp, 12, 0x0806);
    std::vector<std::uint8_t> ipv6 = frame_of(reply_fields(0, 547));
    put16(ipv6, 12, 0x86DD);
    std::vector<std::uint8_t> tag_then_ipv6 = frame_of(reply_fields(3));
    put16(tag_then_ipv6, 16, 0x86DD);
    std::vector<std::uint8_t> two_tags = frame_of(reply_fields(10));
    insert_tag(two_tags, 0x88A8, 20);

    const FilterCase cases[] = {
        {"reply to 68", frame_of(reply_fields()), kToUs, true},
        {"broadcast reply", frame_of(reply_fields()), kBroadcast, true},
        {"another client's discover to 67", frame_of(discover), kBroadcast, true},
        {"reply to 68 with 40 bytes of options", frame_of(reply_fields(), 40), kToUs, true},
        {"relayed reply to 67 with options", frame_of(reply_fields(0, 67), 8), kToUs, true},
        {"reply behind a remaining 802.1Q tag", frame_of(reply_fields(10)), kToUs, true},
        {"802.1ad tag, options, to 67", with_service_tag(frame_of(reply_fields(10, 67), 4)), kToUs, true},
        {"later UDP fragment", frame_of(reply_fields(), 0, later_fragment), kToUs, true},
        {"later UDP fragment behind a tag", frame_of(reply_fields(7), 0, later_fragment), kToUs, true},
        {"first fragment to 68", frame_of(reply_fields(), 0, first_fragment), kToUs, true},
        {"jumbo to 68", cut(frame_of(reply_fields()), 9000), kToUs, true},
        {"our own discover going out", frame_of(discover), kOutgoing, false},
        {"TCP to 68", frame_of(reply_fields(), 0, tcp), kToUs, false},
        {"later TCP fragment",
         frame_of(reply_fields(), 0,
                  [&](auto& f, std::size_t ip) {
                      later_fragment(f, ip);
                      tcp(f, ip);
                  }),
         kToUs, false},
        {"ARP", arp, kBroadcast, false},
        {"IPv6", ipv6, kToUs, false},
        {"UDP to 53", frame_of(reply_fields(0, 53)), kToUs, false},
        {"UDP from 68 to 5353", frame_of(UdpFrameFields{.destination_port = 5353}), kBroadcast, false},
        {"port 68 among the options", frame_of(reply_fields(0, 53), 4, port_68_among_options), kToUs, false},
        {"first fragment to 53", frame_of(reply_fields(0, 53), 0, first_fragment), kToUs, false},
        {"two remaining tags", two_tags, kToUs, false},
        {"tag, then IPv6", tag_then_ipv6, kToUs, false},
        {"short: 10 bytes", cut(frame_of(reply_fields()), 10), kToUs, false},
        {"short: ends before the ports", cut(frame_of(reply_fields()), 14 + 22), kToUs, false},
        {"short: tagged, ends in the header", cut(frame_of(reply_fields(3)), 30), kToUs, false},
    };
    for (const FilterCase& row : cases) {
        SCOPED_TRACE(row.name);
        bool understood = false;
        const std::uint32_t length =
            run_classic_bpf(kCaptureFilter, row.frame.data(), row.frame.size(), row.packet_type, &understood);
        EXPECT_TRUE(understood) << "a refusal must come from the program, not from an instruction it lacks";
        EXPECT_EQ(length != 0, row.accepted);
        if (row.accepted) {
            EXPECT_GE(length, row.frame.size()) << "the frame must pass whole";
        }
    }
}

}  // namespace
