// Router Advertisements: radvd's on the wire, each validity reason of RFC 4861 on its own, each option kind;
// and the Router Solicitation's bytes.
#include <gtest/gtest.h>

#include "common/dhcpv6_wire.h"
#include "hex_bytes.h"
#include "protocol/checksum.h"
#include "protocol/router_advert.h"
#include "protocol/router_solicit.h"

namespace {

Ipv6Address address(const char* text)
{
    Ipv6Address parsed{};
    EXPECT_TRUE(parse_ipv6(text, parsed)) << text;
    return parsed;
}

const RouterAdvertContext kRadvdContext{255, address("fe80::4f:52ff:fe56:3"), kAllNodes, true};

// A header with hop limit 64 and router lifetime 1800, then options; checksum filled for kRadvdContext.
std::vector<std::uint8_t> advert_with(const std::string& options_hex, std::uint8_t flags = 0)
{
    std::vector<std::uint8_t> bytes = hex_bytes("86000000 4000 0708 00000000 00000000" + options_hex);
    bytes[5] = flags;
    const std::uint16_t sum = ipv6_upper_layer_checksum(kRadvdContext.source, kRadvdContext.destination,
                                                        kNextHeaderIcmpv6, bytes.data(), bytes.size());
    bytes[2] = static_cast<std::uint8_t>(sum >> 8);
    bytes[3] = static_cast<std::uint8_t>(sum & 0xff);
    return bytes;
}

RouterAdvert decode(const std::vector<std::uint8_t>& bytes, const RouterAdvertContext& context = kRadvdContext)
{
    return decode_router_advert(bytes.data(), bytes.size(), context);
}

TEST(RouterAdvert, RadvdAdvertIsValidAndGivesEveryOption)
{
    const std::vector<std::uint8_t> bytes = hex_bytes(kRadvdAdvert);
    const RouterAdvert ra = decode(bytes);
    EXPECT_TRUE(router_advert_valid(ra));
    EXPECT_TRUE(ra.option_faults.empty());
    EXPECT_EQ(ra.current_hop_limit, 64);
    EXPECT_TRUE(ra.managed);
    EXPECT_FALSE(ra.other);
    EXPECT_EQ(ra.preference, RouterPreference::kHigh);
    EXPECT_EQ(ra.router_lifetime, 30);
    EXPECT_TRUE(ra.has_source_link_layer);
    EXPECT_EQ(ra.source_link_layer, (HardwareAddress{0x02, 0x4f, 0x52, 0x56, 0x00, 0x03}));
    EXPECT_TRUE(ra.has_mtu);
    EXPECT_EQ(ra.mtu, 1400u);
    ASSERT_EQ(ra.prefixes.size(), 1u);
    EXPECT_EQ(ipv6_text(ra.prefixes[0].prefix), "fd00:88::");
    EXPECT_EQ(ra.prefixes[0].prefix_length, 64);
    EXPECT_TRUE(ra.prefixes[0].on_link);
    EXPECT_TRUE(ra.prefixes[0].autonomous);
    EXPECT_EQ(ra.prefixes[0].valid_lifetime, 3600u);
    EXPECT_EQ(ra.prefixes[0].preferred_lifetime, 1800u);
    ASSERT_EQ(ra.routes.size(), 1u);
    EXPECT_EQ(ipv6_text(ra.routes[0].prefix), "fd00:aa::");
    EXPECT_EQ(ra.routes[0].prefix_length, 48);
    EXPECT_EQ(ra.routes[0].preference, RouterPreference::kLow);
    EXPECT_EQ(ra.routes[0].lifetime, 600u);
    ASSERT_EQ(ra.rdnss.size(), 1u);
    ASSERT_EQ(ra.rdnss[0].servers.size(), 2u);
    EXPECT_EQ(ipv6_text(ra.rdnss[0].servers[1]), "fd00:88::54");
    ASSERT_EQ(ra.dnssl.size(), 1u);
    EXPECT_EQ(ra.dnssl[0].domains, (std::vector<std::string>{"rogue.example", "other.example"}));
    EXPECT_EQ(ra.dnssl[0].lifetime, 600u);
    // The walk covers the packet after the fixed part exactly.
    std::size_t end = kRouterAdvertisementSize;
    for (const RaOptionSpan& option : ra.options) {
        EXPECT_EQ(option.offset, end);
        end += option.length;
    }
    EXPECT_EQ(end, bytes.size());
}

struct InvalidRow {
    const char* what;
    std::size_t byte;  // set to value before decoding (past the end: none)
    std::uint8_t value;
    std::uint8_t hop_limit;
    const char* source;
    std::size_t cut;  // bytes kept (0: all)
    std::vector<RaInvalid> reasons;
};

// clang-format off
const InvalidRow kInvalidRows[] = {
    {"as sent", 999, 0, 255, "fe80::4f:52ff:fe56:3", 0, {}},
    {"forwarded", 999, 0, 64, "fe80::4f:52ff:fe56:3", 0, {RaInvalid::kHopLimitNot255}},
    {"global source", 999, 0, 255, "fd00:88::1", 0, {RaInvalid::kBadChecksum, RaInvalid::kSourceNotLinkLocal}},
    {"code 1", 1, 1, 255, "fe80::4f:52ff:fe56:3", 0, {RaInvalid::kCodeNotZero, RaInvalid::kBadChecksum}},
    {"neighbor solicitation", 0, 135, 255, "fe80::4f:52ff:fe56:3", 0, {RaInvalid::kNotRouterAdvertisement, RaInvalid::kBadChecksum}},
    {"prefix option of length 0", 17, 0, 255, "fe80::4f:52ff:fe56:3", 0, {RaInvalid::kBadChecksum, RaInvalid::kZeroLengthOption}},
    {"prefix option past the end", 17, 30, 255, "fe80::4f:52ff:fe56:3", 0, {RaInvalid::kBadChecksum, RaInvalid::kOptionOverrun}},
    {"fifteen bytes", 999, 0, 255, "fe80::4f:52ff:fe56:3", 15, {RaInvalid::kTooShort, RaInvalid::kBadChecksum}},
    {"last option one byte short", 999, 0, 255, "fe80::4f:52ff:fe56:3", 167, {RaInvalid::kBadChecksum, RaInvalid::kOptionOverrun}},
    {"one byte of an option header", 999, 0, 255, "fe80::4f:52ff:fe56:3", 17, {RaInvalid::kBadChecksum, RaInvalid::kOptionOverrun}},
    {"all wrong", 1, 9, 1, "::", 15, {RaInvalid::kHopLimitNot255, RaInvalid::kCodeNotZero, RaInvalid::kTooShort, RaInvalid::kBadChecksum, RaInvalid::kSourceNotLinkLocal}},
};
// clang-format on

TEST(RouterAdvert, EachValidityCheckIsItsOwnReason)
{
    for (const InvalidRow& row : kInvalidRows) {
        std::vector<std::uint8_t> bytes = hex_bytes(kRadvdAdvert);
        if (row.byte < bytes.size()) bytes[row.byte] = row.value;
        if (row.cut != 0) bytes.resize(row.cut);
        const RouterAdvert ra = decode(bytes, {row.hop_limit, address(row.source), kAllNodes, true});
        EXPECT_EQ(ra.invalid, row.reasons) << row.what;
        EXPECT_EQ(ra.has_header, bytes.size() >= kRouterAdvertisementSize) << row.what;
    }
    // Reported, not dropped: the fields are still there.
    const RouterAdvert forwarded = decode(hex_bytes(kRadvdAdvert), {64, kRadvdContext.source, kAllNodes, true});
    EXPECT_EQ(forwarded.prefixes.size(), 1u);
}

struct OptionRow {
    const char* what;
    const char* options;
    std::vector<RaOptionProblem> problems;
    std::size_t prefixes, routes, rdnss, unknown;
};

// clang-format off
const OptionRow kOptionRows[] = {
    {"prefix option of length 3", "0303 40c0 0000000000000000 0000000000000000 00000000", {RaOptionProblem::kBadLength}, 0, 0, 0, 0},
    {"prefix of 129 bits", "0304 81c0 00000e10 00000708 00000000 fd000088000000000000000000000000", {RaOptionProblem::kBadPrefixLength}, 0, 0, 0, 0},
    {"preferred over valid", "0304 40c0 00000001 00000002 00000000 fd000088000000000000000000000000", {RaOptionProblem::kPreferredOverValid}, 1, 0, 0, 0},
    {"route of 64 bits in one unit", "1801 4000 00000258", {RaOptionProblem::kBadPrefixLength}, 0, 0, 0, 0},
    {"route of 65 bits in two units", "1802 4100 00000258 fd000088000000ff", {RaOptionProblem::kBadPrefixLength}, 0, 0, 0, 0},
    {"default route", "1801 0008 00000258", {}, 0, 1, 0, 0},
    {"route with reserved preference", "1801 0010 00000258", {RaOptionProblem::kReservedPreference}, 0, 0, 0, 0},
    {"RDNSS without addresses", "1901 0000 00000258", {RaOptionProblem::kBadLength}, 0, 0, 0, 0},
    {"RDNSS of even length", "1904 0000 00000258 fd000088000000000000000000000053 0000000000000000", {RaOptionProblem::kBadLength}, 0, 0, 0, 0},
    {"DNSSL compressed", "1f02 0000 00000258 0161c00000000000", {RaOptionProblem::kCompressedName}, 0, 0, 0, 0},
    {"MTU twice", "0501 0000 000005dc 0501 0000 00000578", {RaOptionProblem::kRepeatedOption}, 0, 0, 0, 0},
    {"MTU of two units", "0502 0000 000005dc 0000000000000000", {RaOptionProblem::kBadLength}, 0, 0, 0, 0},
    {"unknown option then a prefix", "2601 000000000000 0304 40c0 00000e10 00000708 00000000 fd000088000000000000000000000000", {}, 1, 0, 0, 1},
};
// clang-format on

TEST(RouterAdvert, OptionFaultsSkipTheOptionNotTheAdvertisement)
{
    for (const OptionRow& row : kOptionRows) {
        const RouterAdvert ra = decode(advert_with(row.options));
        EXPECT_TRUE(router_advert_valid(ra)) << row.what;
        std::vector<RaOptionProblem> problems;
        for (const RaOptionFault& fault : ra.option_faults) problems.push_back(fault.problem);
        EXPECT_EQ(problems, row.problems) << row.what;
        EXPECT_EQ(ra.prefixes.size(), row.prefixes) << row.what;
        EXPECT_EQ(ra.routes.size(), row.routes) << row.what;
        EXPECT_EQ(ra.rdnss.size(), row.rdnss) << row.what;
        EXPECT_EQ(ra.unknown_options.size(), row.unknown) << row.what;
    }
}

TEST(RouterAdvert, RouteBitsPastThePrefixLengthAreDropped)
{
    const RouterAdvert ra = decode(advert_with("1802 2000 00000258 fd0000aaffffffff"));
    ASSERT_EQ(ra.routes.size(), 1u);
    EXPECT_EQ(ipv6_text(ra.routes[0].prefix), "fd00:aa::");
}

TEST(RouterAdvert, PreferenceBitsIncludingReservedAsMedium)
{
    const struct {
        std::uint8_t flags;
        RouterPreference preference;
        bool reserved;
        bool managed, other;
    } rows[] = {{0x00, RouterPreference::kMedium, false, false, false},
                {0x08, RouterPreference::kHigh, false, false, false},
                {0x18, RouterPreference::kLow, false, false, false},
                {0x10, RouterPreference::kMedium, true, false, false},
                {0xc0, RouterPreference::kMedium, false, true, true}};
    for (const auto& row : rows) {
        const RouterAdvert ra = decode(advert_with("", row.flags));
        EXPECT_EQ(ra.preference, row.preference) << int{row.flags};
        EXPECT_EQ(ra.preference_reserved, row.reserved) << int{row.flags};
        EXPECT_EQ(ra.managed, row.managed) << int{row.flags};
        EXPECT_EQ(ra.other, row.other) << int{row.flags};
    }
}

TEST(RouterSolicit, BytesWithAndWithoutTheLinkLayerOption)
{
    RouterSolicitationFields fields;
    EXPECT_EQ(build_router_solicitation(fields), hex_bytes("85000000 00000000"));
    fields.has_source_link_layer = true;
    fields.source_link_layer = {0x02, 0x4f, 0x52, 0x56, 0x00, 0x01};
    EXPECT_EQ(build_router_solicitation(fields), hex_bytes("85000000 00000000 0101024f52560001"));
    // The checksum tshark reported correct on the wire for this solicitation from fe80::4f:52ff:fe56:1.
    fields.fill_checksum = true;
    fields.source = address("fe80::4f:52ff:fe56:1");
    EXPECT_EQ(build_router_solicitation(fields), hex_bytes("8500d5e1 00000000 0101024f52560001"));
    std::uint8_t small[15];
    EXPECT_EQ(build_router_solicitation(fields, small, sizeof small), 0u);
}

}  // namespace
