// The frame builder against bytes worked out by hand and checksums summed apart from the decoder.
#include <gtest/gtest.h>

#include "frame_samples.h"

namespace {

// 0.0.0.0:68 -> 255.255.255.255:67 from 02:4f:52:56:00:0a, payload DE AD BE, padded to 60 bytes.
const std::vector<std::uint8_t> kSmallDiscover{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x4F, 0x52, 0x56, 0x00, 0x0A,
                                               0x08, 0x00, 0x45, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x40, 0x11,
                                               0x7A, 0xCF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x44,
                                               0x00, 0x43, 0x00, 0x0B, 0x62, 0xA3, 0xDE, 0xAD, 0xBE, 0x00, 0x00, 0x00,
                                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(FrameBuilder, SmallDiscoverMatchesTheBytesWorkedOutByHand)
{
    UdpFrameFields fields;
    fields.source_mac = kClientMac;
    EXPECT_EQ(build_frame(fields, {0xDE, 0xAD, 0xBE}), kSmallDiscover);

    // Tagged, the same frame gets 81 00 00 0A after the addresses and is padded to 64.
    fields.vlan_id = 10;
    const std::vector<std::uint8_t> tagged = build_frame(fields, {0xDE, 0xAD, 0xBE});
    ASSERT_EQ(tagged.size(), 64u);
    EXPECT_EQ(std::vector<std::uint8_t>(tagged.begin() + 12, tagged.begin() + 16),
              (std::vector<std::uint8_t>{0x81, 0x00, 0x00, 0x0A}));
    EXPECT_TRUE(std::equal(kSmallDiscover.begin() + 12, kSmallDiscover.end(), tagged.begin() + 16));
}

struct BuiltCase {
    const char* name;
    UdpFrameFields fields;
    std::size_t payload_size;
    std::vector<std::uint8_t> options;
};

TEST(FrameBuilder, HeadersSumToZeroAndFieldsLieWhereTheWireExpectsThem)
{
    const BuiltCase cases[] = {
        {"discover", UdpFrameFields{.source_mac = kClientMac}, kDhcpMessageSize, {}},
        {"discover on vlan 4094", UdpFrameFields{.source_mac = kClientMac, .vlan_id = 4094}, kDhcpMessageSize, {}},
        {"reply with options", reply_fields(7), 300, {0x94, 0x04, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00}},
        {"odd payload", reply_fields(), 301, {}},
        {"empty payload", reply_fields(1), 0, {}},
    };
    for (const BuiltCase& row : cases) {
        SCOPED_TRACE(row.name);
        UdpFrameFields fields = row.fields;
        fields.ip_options = row.options;
        const std::vector<std::uint8_t> payload = payload_of(row.payload_size);
        const std::vector<std::uint8_t> frame = build_frame(fields, payload);
        const std::size_t ip = fields.vlan_id ? 18 : 14;
        const std::size_t udp = ip + 20 + row.options.size();
        ASSERT_EQ(frame.size(), std::max(udp + 8 + payload.size(), ip + 46));
        if (fields.vlan_id) {
            EXPECT_EQ(frame[14] << 8 | frame[15], fields.vlan_id);  // priority 0
        }
        EXPECT_EQ(frame[ip - 2] << 8 | frame[ip - 1], 0x0800);
        EXPECT_EQ(frame[ip], 0x40u | (20 + row.options.size()) / 4);
        EXPECT_EQ(std::size_t(frame[ip + 2] << 8 | frame[ip + 3]), udp + 8 + payload.size() - ip);
        EXPECT_EQ(frame[ip + 6] & 0x40, 0) << "DF set";
        EXPECT_EQ(frame[ip + 8], 64);
        EXPECT_EQ(ipv4_header_checksum(frame.data() + ip, udp - ip), 0);
        // The pseudo-header as RFC 768 lays it out, then the datagram with its checksum in place.
        const std::size_t udp_length = 8 + payload.size();
        std::vector<std::uint8_t> summed(frame.begin() + ip + 12, frame.begin() + ip + 20);
        summed.insert(summed.end(), {0, 17, static_cast<std::uint8_t>(udp_length >> 8),
                                     static_cast<std::uint8_t>(udp_length & 0xFF)});
        summed.insert(summed.end(), frame.begin() + udp, frame.begin() + udp + udp_length);
        EXPECT_EQ(checksum_finish(checksum_add(0, summed.data(), summed.size())), 0);
        EXPECT_NE(frame[udp + 6] | frame[udp + 7], 0) << "a checksum of 0 reads as none";
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.begin() + udp + 8));
    }
}

TEST(FrameBuilder, RefusesWhatCannotBeBuiltAndLeavesTheBufferAlone)
{
    const std::vector<std::uint8_t> three(3), forty_four(44);
    struct Case {
        const char* name;
        UdpFrameFields fields;
        std::size_t payload_size;
        std::size_t capacity_short_by;
    };
    const Case cases[] = {
        {"vlan 4095", UdpFrameFields{.vlan_id = 4095}, 10, 0},
        {"options not in words", UdpFrameFields{.ip_options = three}, 10, 0},
        {"options over 40 bytes", UdpFrameFields{.ip_options = forty_four}, 10, 0},
        {"datagram over 65535 bytes", UdpFrameFields{}, 65536 - 28, 0},
        {"buffer one byte short", UdpFrameFields{}, kDhcpMessageSize, 1},
        {"buffer short of the padding", UdpFrameFields{}, 3, 1},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const std::vector<std::uint8_t> payload(row.payload_size);
        const std::size_t need = udp_frame_size(row.fields, payload.size());
        EXPECT_EQ(need == 0, row.capacity_short_by == 0);
        // Unbuildable fields get all the room they could want; the others one byte too few.
        std::vector<std::uint8_t> buffer(70000, 0xAA);
        const std::size_t capacity = need == 0 ? buffer.size() : need - row.capacity_short_by;
        EXPECT_EQ(build_udp_frame(row.fields, payload, buffer.data(), capacity), 0u);
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xAA), static_cast<long>(buffer.size()));
    }
}

}  // namespace
