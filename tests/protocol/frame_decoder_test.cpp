// The frame decoder over good frames in their forms and over one spoiled frame per kind of fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "frame_samples.h"
#include "protocol/frame_decoder.h"

namespace {

enum class Tag { as_built, stripped, service_tag_in_data };

struct GoodCase {
    const char* name;
    UdpFrameFields fields;
    std::size_t payload_size;
    Tag tag;
    std::uint16_t expected_vlan;
    std::size_t trailer = 0;  // bytes after the frame, as when the FCS is kept
};

TEST(FrameDecoder, GivesBackWhatWasBuiltInEveryGoodForm)
{
    const std::vector<std::uint8_t> options{0x94, 0x04, 0x00, 0x00};
    const std::vector<std::uint8_t> forty(40, 0x01);  // NOPs
    UdpFrameFields with_options = reply_fields(), full_options = reply_fields(), unchecked = reply_fields();
    with_options.ip_options = options;
    full_options.ip_options = forty;
    unchecked.udp_checksum = false;
    UdpFrameFields other_udp = reply_fields();
    other_udp.source_port = 5353;
    other_udp.ttl = 1;
    const GoodCase cases[] = {
        {"discover", UdpFrameFields{.source_mac = kClientMac}, kDhcpMessageSize, Tag::as_built, 0},
        {"reply tagged in the data", reply_fields(10), 300, Tag::as_built, 10},
        {"reply whose tag the kernel stripped", reply_fields(4094), 300, Tag::stripped, 4094},
        {"single 802.1ad tag in the data", reply_fields(), 300, Tag::service_tag_in_data, 33},
        {"relayed reply to port 67", reply_fields(0, 67), 300, Tag::as_built, 0},
        {"router alert option", with_options, 300, Tag::as_built, 0},
        {"forty bytes of options, priority tag stripped", full_options, 300, Tag::stripped, 0},
        {"no UDP checksum", unchecked, 300, Tag::as_built, 0},
        {"short datagram with padding and FCS", reply_fields(), 3, Tag::as_built, 0, 4},
        {"not DHCP, to port 68", other_udp, 5, Tag::as_built, 0},
        {"largest standard frame", reply_fields(), 1472, Tag::as_built, 0},
        {"largest standard frame, tagged", reply_fields(5), 1472, Tag::as_built, 5},
    };
    for (const GoodCase& row : cases) {
        SCOPED_TRACE(row.name);
        const std::vector<std::uint8_t> payload = payload_of(row.payload_size);
        std::vector<std::uint8_t> frame = build_frame(row.fields, payload);
        ASSERT_FALSE(frame.empty());
        std::optional<std::uint16_t> stripped;
        if (row.tag == Tag::stripped) stripped = row.fields.vlan_id ? strip_tag(frame) : 0x2000;  // priority 1, VID 0
        if (row.tag == Tag::service_tag_in_data) insert_tag(frame, 0x88A8, 0xE000 | 33);
        frame.resize(frame.size() + row.trailer, 0xEE);
        const DecodedFrame decoded = decode_frame(frame.data(), frame.size(), stripped);
        ASSERT_EQ(decoded.outcome, FrameOutcome::ok) << frame_outcome_name(decoded.outcome);
        EXPECT_EQ(decoded.destination_mac, row.fields.destination_mac);
        EXPECT_EQ(decoded.source_mac, row.fields.source_mac);
        EXPECT_EQ(decoded.tag_count, row.tag == Tag::as_built && row.fields.vlan_id == 0 ? 0u : 1u);
        EXPECT_EQ(frame_vlan_id(decoded), row.expected_vlan);
        EXPECT_EQ(decoded.source_ip, row.fields.source_ip);
        EXPECT_EQ(decoded.destination_ip, row.fields.destination_ip);
        EXPECT_EQ(decoded.ttl, row.fields.ttl);
        EXPECT_EQ(decoded.ip_options, !row.fields.ip_options.empty());
        EXPECT_EQ(decoded.source_port, row.fields.source_port);
        EXPECT_EQ(decoded.destination_port, row.fields.destination_port);
        EXPECT_EQ(decoded.udp_checksum_present, row.fields.udp_checksum);
        ASSERT_EQ(decoded.payload_length, payload.size());
        ASSERT_LE(decoded.payload_offset + decoded.payload_length, frame.size());
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.begin() + decoded.payload_offset));
    }
}

// Edits of a 300-byte untagged reply (IPv4 at 14, UDP at 34): each spoils it in one place.
using Edit = std::function<void(std::vector<std::uint8_t>&, std::optional<std::uint16_t>&)>;

struct BadCase {
    const char* name;
    Edit edit;
    FrameOutcome expected;
};

Edit cut_to(std::size_t length)
{
    return [=](std::vector<std::uint8_t>& f, auto&) { f.resize(length); };
}

Edit set16(std::size_t at, std::uint16_t value)
{
    return [=](std::vector<std::uint8_t>& f, auto&) { put16(f, at, value); };
}

Edit flip(std::size_t at)
{
    return [=](std::vector<std::uint8_t>& f, auto&) { f[at] ^= 0x01; };
}

Edit add_tag(std::uint16_t tpid, std::uint16_t tci)
{
    return [=](std::vector<std::uint8_t>& f, auto&) { insert_tag(f, tpid, tci); };
}

Edit kernel_tag(std::uint16_t tci)
{
    return [=](auto&, std::optional<std::uint16_t>& stripped) { stripped = tci; };
}

// Sets one byte of the IPv4 header and, unless the point is a bad checksum, makes the checksum right.
Edit set_ip_byte(std::size_t offset, std::uint8_t value, bool refresh = true)
{
    return [=](std::vector<std::uint8_t>& f, auto&) {
        f[14 + offset] = value;
        if (refresh) refresh_ipv4_checksum(f, 14);
    };
}

Edit set_total_length(std::uint16_t length)
{
    return [=](std::vector<std::uint8_t>& f, auto&) {
        put16(f, 16, length);
        refresh_ipv4_checksum(f, 14);
    };
}

Edit then(Edit first, Edit second)
{
    return [=](std::vector<std::uint8_t>& f, std::optional<std::uint16_t>& stripped) {
        first(f, stripped);
        second(f, stripped);
    };
}

TEST(FrameDecoder, GivesEachKindOfBadFrameItsOwnOutcome)
{
    using O = FrameOutcome;
    const BadCase cases[] = {
        {"nothing", cut_to(0), O::truncated},
        {"inside the Ethernet header", cut_to(13), O::truncated},
        {"inside the IPv4 header", cut_to(33), O::truncated},
        {"inside a tag", then(add_tag(0x8100, 10), cut_to(17)), O::truncated},
        {"inside the IPv4 options", then(set_ip_byte(0, 0x4F), cut_to(14 + 40)), O::truncated},
        {"jumbo", cut_to(14 + 1501), O::oversized},
        {"jumbo behind a tag", then(cut_to(14 + 1501), add_tag(0x8100, 3)), O::oversized},
        {"kernel tag and a tag in the data", then(kernel_tag(100), add_tag(0x8100, 20)), O::stacked_tags},
        {"802.1ad and 802.1Q in the data", then(add_tag(0x8100, 20), add_tag(0x88A8, 100)), O::stacked_tags},
        {"ARP", set16(12, 0x0806), O::not_ipv4},
        {"IPv6 behind a tag", then(set16(12, 0x86DD), add_tag(0x8100, 4)), O::not_ipv4},
        {"version 6", set_ip_byte(0, 0x65), O::bad_ipv4_header},
        {"IHL 4", set_ip_byte(0, 0x44), O::bad_ipv4_header},
        {"TTL changed after the checksum", set_ip_byte(8, 1, false), O::bad_ipv4_checksum},
        {"total length over what arrived", cut_to(14 + 300), O::bad_ipv4_length},
        {"total length under the header", set_total_length(19), O::bad_ipv4_length},
        {"TCP", set_ip_byte(9, 6), O::not_udp},
        {"first fragment", set_ip_byte(6, 0x20), O::fragment},
        {"later fragment", set_ip_byte(7, 185), O::fragment},
        {"no room for the UDP header", set_total_length(27), O::bad_udp_length},
        {"UDP length 7", set16(38, 7), O::bad_udp_length},
        {"UDP length short of the IP payload", set16(38, 307), O::bad_udp_length},
        {"UDP length past the IP payload", set16(38, 309), O::bad_udp_length},
        {"payload byte changed", flip(100), O::bad_udp_checksum},
        {"IP source changed, checksum kept", set_ip_byte(15, 99), O::bad_udp_checksum},
        {"checksum off by one", flip(41), O::bad_udp_checksum},
    };
    const std::vector<std::uint8_t> reply = build_frame(reply_fields(), payload_of(300));
    ASSERT_EQ(reply.size(), 14u + 328u);
    for (const BadCase& row : cases) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> frame = reply;
        std::optional<std::uint16_t> stripped;
        row.edit(frame, stripped);
        // A copy of exactly the frame's size, so that a read past its end trips the sanitizer.
        const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[frame.size()]);
        std::copy(frame.begin(), frame.end(), exact.get());
        const DecodedFrame decoded = decode_frame(exact.get(), frame.size(), stripped);
        EXPECT_EQ(frame_outcome_name(decoded.outcome), frame_outcome_name(row.expected));
        if (row.expected == O::fragment) {
            EXPECT_EQ(decoded.source_ip, (Ipv4Address{192, 168, 77, 1}));
        }
    }
}

TEST(FrameDecoder, OutcomeNamesAreDistinctKebabCaseWords)
{
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < kFrameOutcomeCount; ++i) {
        const std::string_view name = frame_outcome_name(static_cast<FrameOutcome>(i));
        EXPECT_NE(name, "unknown");
        EXPECT_TRUE(seen.insert(name).second) << name;
        EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string_view::npos) << name;
    }
    EXPECT_EQ(frame_outcome_name(static_cast<FrameOutcome>(kFrameOutcomeCount)), "unknown");
}

}  // namespace

namespace {

// A checksum the sender's offload left unfinished holds a partial sum: not checked, the payload still handed on.
// A finished one is checked as always, and a frame that fails for another reason still fails for that.
TEST(FrameDecoder, UnfinishedUdpChecksumIsNotChecked)
{
    struct Row {
        const char* name;
        std::size_t flip_at;  // 0: none
        bool final_sum;
        FrameOutcome expected;
        bool checked;
    };
    const Row rows[] = {
        {"finished and right", 0, true, FrameOutcome::ok, true},
        {"finished and wrong", 41, true, FrameOutcome::bad_udp_checksum, false},
        {"unfinished partial sum", 41, false, FrameOutcome::ok, false},
        {"unfinished but the IP header corrupt", 22, false, FrameOutcome::bad_ipv4_checksum, false},
    };
    const std::vector<std::uint8_t> reply = build_frame(reply_fields(), payload_of(300));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> frame = reply;
        if (row.flip_at != 0) frame[row.flip_at] ^= 0x5A;
        const DecodedFrame decoded = decode_frame(frame.data(), frame.size(), std::nullopt, row.final_sum);
        EXPECT_EQ(frame_outcome_name(decoded.outcome), frame_outcome_name(row.expected));
        EXPECT_EQ(decoded.udp_checksum_checked, row.checked);
        if (row.expected == FrameOutcome::ok) {
            EXPECT_EQ(decoded.payload_offset, 14u + 20u + 8u);
            EXPECT_EQ(decoded.payload_length, 300u);
        }
    }
}

}  // namespace
