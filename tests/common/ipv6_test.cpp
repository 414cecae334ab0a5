// IPv6 address text both ways: RFC 5952 output, accepted and refused input.
#include <gtest/gtest.h>

#include "common/ipv6.h"

namespace {

struct TextRow {
    const char* canonical;  // what ipv6_text must give
    Ipv6Address address;
};

// clang-format off
const TextRow kTextRows[] = {
    {"::", {}},
    {"::1", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
    {"ff02::1:2", kAllDhcpAgents},
    {"fe80::4f:52ff:fe56:1", {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x4f, 0x52, 0xff, 0xfe, 0x56, 0, 1}},
    // A single zero group stays written out.
    {"2001:db8:0:1:1:1:1:1", {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}},
    // Of two equal runs the first is compressed; a longer later run wins.
    {"2001:db8::1:0:0:1", {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}},
    {"2001:0:0:1::1", {0x20, 0x01, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}},
    {"1::", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"abcd:ef01:2345:6789:abcd:ef01:2345:6789", {0xab, 0xcd, 0xef, 0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x01, 0x23, 0x45, 0x67, 0x89}},
    {"::ffff:192.0.2.1", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 0, 2, 1}},
};
// clang-format on

TEST(Ipv6Text, IsCanonicalAndParsesBack)
{
    for (const TextRow& row : kTextRows) {
        EXPECT_EQ(ipv6_text(row.address), row.canonical);
        Ipv6Address parsed{};
        ASSERT_TRUE(parse_ipv6(row.canonical, parsed)) << row.canonical;
        EXPECT_EQ(parsed, row.address) << row.canonical;
    }
}

struct ParseRow {
    const char* text;
    bool accepted;
    const char* canonical;  // when accepted
};

// clang-format off
const ParseRow kParseRows[] = {
    {"FE80:0000:0000:0000:0000:0000:0000:0001", true, "fe80::1"},
    {"2001:db8:0:0:1:0:0:1", true, "2001:db8::1:0:0:1"},
    {"1:2:3:4:5:6:7::", true, "1:2:3:4:5:6:7:0"},
    {"::2:3:4:5:6:7:8", true, "0:2:3:4:5:6:7:8"},
    {"::192.0.2.1", true, "::c000:201"},
    {"1:2:3:4:5:6:192.0.2.1", true, "1:2:3:4:5:6:c000:201"},
    {"", false, ""},
    {":", false, ""},
    {":::", false, ""},
    {"1:2:3:4:5:6:7", false, ""},
    {"1:2:3:4:5:6:7:8:9", false, ""},
    {"1:2:3:4:5:6:7:8::", false, ""},
    {"1::2::3", false, ""},
    {":1::2", false, ""},
    {"1::2:", false, ""},
    {"12345::", false, ""},
    {"fe80::1%eth0", false, ""},
    {"g::1", false, ""},
    {"::1.2.3", false, ""},
    {"::1.2.3.256", false, ""},
    {"1:2:3:4:5:6:7:1.2.3.4", false, ""},
    {"1.2.3.4", false, ""},
    {" ::1", false, ""},
};
// clang-format on

TEST(Ipv6Text, ParsesValidFormsAndRefusesJunk)
{
    for (const ParseRow& row : kParseRows) {
        Ipv6Address parsed = kAllRouters;
        EXPECT_EQ(parse_ipv6(row.text, parsed), row.accepted) << row.text;
        if (row.accepted) {
            EXPECT_EQ(ipv6_text(parsed), row.canonical) << row.text;
        } else {
            EXPECT_EQ(parsed, kAllRouters) << "refused text changed the address: " << row.text;
        }
    }
}

TEST(Ipv6Address, LinkLocalIsFe80Slash10)
{
    const struct {
        const char* text;
        bool link_local;
    } rows[] = {{"fe80::1", true},  {"febf:ffff::1", true}, {"fec0::1", false},
                {"fe7f::1", false}, {"ff02::2", false},     {"::1", false}};
    for (const auto& row : rows) {
        Ipv6Address address{};
        ASSERT_TRUE(parse_ipv6(row.text, address));
        EXPECT_EQ(is_link_local(address), row.link_local) << row.text;
    }
}

}  // namespace
