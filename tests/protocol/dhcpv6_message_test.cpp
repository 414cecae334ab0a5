// The SOLICIT's bytes and the DHCPv6 decoder on real answers, on hand-made options and on broken input.
#include <gtest/gtest.h>

#include "common/dhcpv6_wire.h"
#include "hex_bytes.h"
#include "protocol/dhcpv6_message.h"
#include "protocol/dhcpv6_solicit.h"

namespace {

Dhcpv6Decoded decode(const std::vector<std::uint8_t>& bytes)
{
    return decode_dhcpv6(bytes.data(), bytes.size());
}

std::vector<Dhcpv6Problem> problems(const Dhcpv6Message& message)
{
    std::vector<Dhcpv6Problem> list;
    for (const Dhcpv6Fault& fault : message.faults) list.push_back(fault.problem);
    return list;
}

TEST(Solicit, BytesAreTheOptionsInOrderAndNothingElse)
{
    SolicitFields fields;
    fields.transaction_id = {0x4f, 0x76, 0x01};
    fields.client_address = {0x02, 0x4f, 0x52, 0x56, 0x00, 0x01};
    fields.elapsed_hundredths = 0x0102;
    fields.iaid = 0x0a0b0c0d;
    EXPECT_EQ(build_solicit(fields), hex_bytes("014f7601 0001000a00030001024f52560001 000800020102"
                                               "0006000600170018 0052 0003000c0a0b0c0d0000000000000000"));
    fields.prefix_delegation = true;
    const std::vector<std::uint8_t> with_pd = build_solicit(fields);
    ASSERT_EQ(with_pd.size(), solicit_size(fields));
    EXPECT_EQ(std::vector<std::uint8_t>(with_pd.end() - 16, with_pd.end()),
              hex_bytes("0019000c0a0b0c0d0000000000000000"));
    std::vector<std::uint8_t> small(with_pd.size() - 1, 0xee);
    EXPECT_EQ(build_solicit(fields, small.data(), small.size()), 0u);
    EXPECT_EQ(small, std::vector<std::uint8_t>(with_pd.size() - 1, 0xee));
}

TEST(Solicit, DecodesBackToItsFieldsWithoutRapidCommit)
{
    for (const bool pd : {false, true}) {
        SolicitFields fields{{1, 2, 3}, {0x02, 0, 0, 0, 0, 0x09}, 65535, 0xfffffffe, pd};
        const Dhcpv6Decoded decoded = decode(build_solicit(fields));
        const Dhcpv6Message& m = decoded.message;
        EXPECT_TRUE(m.faults.empty());
        EXPECT_EQ(m.message_type, kDhcpv6Solicit);
        EXPECT_EQ(m.transaction_id, fields.transaction_id);
        EXPECT_EQ(m.client_id.type, kDuidLinkLayer);
        EXPECT_EQ(m.client_id.link_layer_address,
                  std::vector<std::uint8_t>(fields.client_address.begin(), fields.client_address.end()));
        EXPECT_EQ(m.elapsed_hundredths, 65535);
        ASSERT_EQ(m.ia_na.size(), 1u);
        EXPECT_EQ(m.ia_na[0].iaid, 0xfffffffeu);
        EXPECT_EQ(m.ia_pd.size(), pd ? 1u : 0u);
        EXPECT_EQ(m.requested_options, (std::vector<std::uint16_t>{23, 24, 82}));
        EXPECT_FALSE(m.rapid_commit);
        EXPECT_FALSE(m.has_server_id);
    }
}

TEST(Dhcpv6Decode, DnsmasqAdvertiseGivesEveryReportedField)
{
    const Dhcpv6Decoded decoded = decode(hex_bytes(kDnsmasqAdvertise));
    const Dhcpv6Message& m = decoded.message;
    EXPECT_TRUE(m.faults.empty());
    EXPECT_STREQ(dhcpv6_message_type_name(m.message_type), "ADVERTISE");
    EXPECT_EQ(m.transaction_id, (std::array<std::uint8_t, 3>{0x4f, 0x76, 0x01}));
    EXPECT_EQ(duid_hex_text(m.server_id.bytes), "0001000132ab6dde024f52560002");
    EXPECT_EQ(m.server_id.type, kDuidLinkLayerTime);
    EXPECT_EQ(m.server_id.link_layer_address, (std::vector<std::uint8_t>{0x02, 0x4f, 0x52, 0x56, 0x00, 0x02}));
    ASSERT_TRUE(m.has_preference);
    EXPECT_EQ(m.preference, 0);
    ASSERT_EQ(m.statuses.size(), 1u);
    EXPECT_EQ(m.statuses[0].code, kDhcpv6StatusSuccess);
    EXPECT_EQ(m.statuses[0].message, "success");
    ASSERT_EQ(m.ia_na.size(), 1u);
    EXPECT_EQ(m.ia_na[0].t1, 1800u);
    EXPECT_EQ(m.ia_na[0].t2, 3150u);
    ASSERT_EQ(m.ia_na[0].addresses.size(), 1u);
    EXPECT_EQ(ipv6_text(m.ia_na[0].addresses[0].address), "fd00:77::163");
    EXPECT_EQ(m.ia_na[0].addresses[0].valid_lifetime, 3600u);
    EXPECT_TRUE(m.ia_pd.empty());
    ASSERT_EQ(m.dns_servers.size(), 1u);
    EXPECT_EQ(ipv6_text(m.dns_servers[0]), "fd00:77::53");
    EXPECT_EQ(m.domains, (std::vector<std::string>{"lab.example", "corp.example"}));
    EXPECT_TRUE(m.other_options.empty());
}

TEST(Dhcpv6Decode, NoAddressesReplyKeepsStatusesAtEachLevel)
{
    const Dhcpv6Message m = decode(hex_bytes(kDnsmasqNoAddressesReply)).message;
    EXPECT_TRUE(m.faults.empty());
    EXPECT_STREQ(dhcpv6_message_type_name(m.message_type), "REPLY");
    EXPECT_TRUE(m.rapid_commit);
    ASSERT_EQ(m.ia_na.size(), 1u);
    EXPECT_TRUE(m.ia_na[0].addresses.empty());
    ASSERT_EQ(m.ia_na[0].statuses.size(), 1u);
    EXPECT_STREQ(dhcpv6_status_name(m.ia_na[0].statuses[0].code), "NoAddrsAvail");
    EXPECT_EQ(m.ia_na[0].statuses[0].message, "address unavailable");
    ASSERT_EQ(m.statuses.size(), 1u);
    EXPECT_EQ(m.statuses[0].message, "no addresses available");
}

TEST(Dhcpv6Decode, PrefixesAndStatusesInsideLeases)
{
    // IA_PD with one IA Prefix holding a status, then one prefix longer than 128 bits, then unknown option 99.
    const Dhcpv6Message m = decode(hex_bytes("02010203"
                                             "0019004d 00000007 00000064 000000c8"
                                             "001a0020 00000e10 00001c20 38 20010db8000100000000000000000000"
                                             "000d0003 0006 78"
                                             "001a0019 00000001 00000002 81 00000000000000000000000000000000"
                                             "00630001 ff"))
                                .message;
    ASSERT_EQ(m.ia_pd.size(), 1u);
    EXPECT_EQ(m.ia_pd[0].iaid, 7u);
    ASSERT_EQ(m.ia_pd[0].prefixes.size(), 1u);
    const Dhcpv6IaPrefix& prefix = m.ia_pd[0].prefixes[0];
    EXPECT_EQ(ipv6_text(prefix.prefix), "2001:db8:1::");
    EXPECT_EQ(prefix.prefix_length, 56);
    EXPECT_EQ(prefix.preferred_lifetime, 3600u);
    EXPECT_EQ(prefix.valid_lifetime, 7200u);
    ASSERT_EQ(prefix.statuses.size(), 1u);
    EXPECT_STREQ(dhcpv6_status_name(prefix.statuses[0].code), "NoPrefixAvail");
    EXPECT_EQ(prefix.statuses[0].message, "x");
    EXPECT_EQ(problems(m), std::vector<Dhcpv6Problem>{Dhcpv6Problem::kBadPrefixLength});
    ASSERT_EQ(m.other_options.size(), 1u);
    EXPECT_EQ(m.other_options[0].code, 99);
    EXPECT_EQ(m.other_options[0].length, 1u);
    EXPECT_EQ(m.other_options[0].offset, 4u + 4u + 77u);
}

struct BrokenRow {
    const char* what;
    const char* hex;
    std::vector<Dhcpv6Problem> problems;
    std::size_t dns_servers;  // decoded despite the problem
};

// clang-format off
const BrokenRow kBrokenRows[] = {
    {"empty", "", {Dhcpv6Problem::kTruncatedHeader}, 0},
    {"three bytes", "020102", {Dhcpv6Problem::kTruncatedHeader}, 0},
    {"relay header cut", "0d00 fe80", {Dhcpv6Problem::kTruncatedHeader}, 0},
    {"option header cut", "02010203 0017", {Dhcpv6Problem::kTruncatedOption}, 0},
    {"option past the end", "02010203 00170010 fd00", {Dhcpv6Problem::kOptionOverrun}, 0},
    {"option one byte past the end", "02010203 00170010 fd0000770000000000000000000000", {Dhcpv6Problem::kOptionOverrun}, 0},
    {"DNS list not whole addresses", "02010203 00170003 fd0000 00170010 fd000077000000000000000000000053", {Dhcpv6Problem::kBadOptionLength}, 1},
    {"preference of two bytes", "02010203 00070002 ffff", {Dhcpv6Problem::kBadOptionLength}, 0},
    {"rapid commit with a value", "02010203 000e0001 00", {Dhcpv6Problem::kBadOptionLength}, 0},
    {"status without code", "02010203 000d0001 00", {Dhcpv6Problem::kBadOptionLength}, 0},
    {"IA_NA shorter than its fixed part", "02010203 00030004 00000001", {Dhcpv6Problem::kBadOptionLength}, 0},
    {"IA Prefix a byte short of its fixed part", "02010203 00190028 00000001 0000000000000000 001a0018 000000000000000000000000000000000000000000000000", {Dhcpv6Problem::kBadOptionLength}, 0},
    {"IA Address a byte short of its fixed part", "02010203 00030027 00000001 0000000000000000 00050017 0000000000000000000000000000000000000000000000", {Dhcpv6Problem::kBadOptionLength}, 0},
    {"IA Address running past its IA_NA", "02010203 00030010 00000001 0000000000000000 00050018", {Dhcpv6Problem::kOptionOverrun}, 0},
    {"server id twice", "02010203 00020005 0003000102 00020005 0003000103", {Dhcpv6Problem::kRepeatedOption}, 0},
    {"DUID-LL without address", "02010203 00020002 0003", {Dhcpv6Problem::kBadDuid}, 0},
    {"compressed domain name", "02010203 00180005 016100 c000", {Dhcpv6Problem::kCompressedName}, 0},
    {"domain with a dot inside a label", "02010203 00180005 03612e6200", {Dhcpv6Problem::kBadName}, 0},
    {"domain without root label", "02010203 00180002 0161", {Dhcpv6Problem::kBadName}, 0},
    {"bad option then a good one", "02010203 00080001 00 00170010 fd000077000000000000000000000053", {Dhcpv6Problem::kBadOptionLength}, 1},
};
// clang-format on

TEST(Dhcpv6Decode, BrokenInputGetsItsProblemsAndKeepsTheRest)
{
    for (const BrokenRow& row : kBrokenRows) {
        const std::vector<std::uint8_t> bytes = hex_bytes(row.hex);
        const Dhcpv6Message m = decode(bytes).message;
        EXPECT_EQ(problems(m), row.problems) << row.what;
        EXPECT_EQ(m.dns_servers.size(), row.dns_servers) << row.what;
        for (const Dhcpv6Fault& fault : m.faults) EXPECT_LE(fault.offset, bytes.size()) << row.what;
    }
}

TEST(Dhcpv6Decode, RelayReplyDecodesItsInnerMessageOneLevel)
{
    // RELAY-REPL, hop 1, link 2001:db8::1, peer fe80::2, Interface-ID, Relay Message holding an ADVERTISE.
    const std::string inner = "02aabbcc 0002000a 00030001024f52560002";
    const Dhcpv6Decoded d =
        decode(hex_bytes("0d01 20010db8000000000000000000000001 fe800000000000000000000000000002"
                         "00120002 6569 00090012 " +
                         inner));
    EXPECT_TRUE(d.message.is_relay);
    EXPECT_EQ(d.message.hop_count, 1);
    EXPECT_EQ(ipv6_text(d.message.link_address), "2001:db8::1");
    EXPECT_EQ(ipv6_text(d.message.peer_address), "fe80::2");
    ASSERT_EQ(d.message.other_options.size(), 1u);
    EXPECT_EQ(d.message.other_options[0].code, kDhcpv6OptionInterfaceId);
    ASSERT_TRUE(d.has_inner);
    EXPECT_EQ(d.inner.message_type, kDhcpv6Advertise);
    EXPECT_EQ(d.inner.transaction_id, (std::array<std::uint8_t, 3>{0xaa, 0xbb, 0xcc}));
    EXPECT_EQ(duid_hex_text(d.inner.server_id.bytes), "00030001024f52560002");

    // A relay inside the relay: its header is read, its own Relay Message is not followed.
    // Appended one piece at a time: GCC 12 at -O3 misreads a chain of string temporaries as out of bounds.
    const std::string addresses(64, '0');
    std::string relayed = "0c00";
    relayed += addresses;
    relayed += "00090026 0c00";
    relayed += addresses;
    relayed += "00090000";
    const Dhcpv6Decoded twice = decode(hex_bytes(relayed));
    ASSERT_TRUE(twice.has_inner);
    EXPECT_TRUE(twice.inner.is_relay);
    EXPECT_EQ(problems(twice.inner), std::vector<Dhcpv6Problem>{Dhcpv6Problem::kNestedRelayNotFollowed});
}

TEST(Dhcpv6Duid, HexTextBothWays)
{
    const struct {
        const char* text;
        bool accepted;
        const char* canonical;
    } rows[] = {
        {"00030001024f52560002", true, "00030001024f52560002"},
        {"00:03:00:01:02:4F", true, "00030001024f"},
        {"00-03-00-01", true, "00030001"},
        {"0003:0001", false, ""},
        {"00:03-00", false, ""},
        {"000", false, ""},
        {"00:03:", false, ""},
        {"", false, ""},
        {"zz", false, ""},
    };
    for (const auto& row : rows) {
        std::vector<std::uint8_t> bytes{9};
        EXPECT_EQ(parse_duid_hex(row.text, bytes), row.accepted) << row.text;
        if (row.accepted) {
            EXPECT_EQ(duid_hex_text(bytes), row.canonical) << row.text;
        }
    }
}

TEST(Dhcpv6Duid, KindsAndTheirLinkLayerAddress)
{
    const struct {
        const char* hex;
        bool well_formed;
        bool has_link_layer;
        std::size_t address_size;
    } rows[] = {
        {"0001 0001 32ab6dde 024f52560002", true, true, 6},
        {"0003 0001 024f52560002", true, true, 6},
        {"0002 00000009 0102", true, false, 0},
        {"0004 00112233445566778899aabbccddeeff", true, false, 0},
        {"0004 0011", false, false, 0},
        {"0001 0001 32ab", false, false, 0},
        {"00", false, false, 0},
        {"0003 0001", false, true, 0},
    };
    for (const auto& row : rows) {
        const std::vector<std::uint8_t> bytes = hex_bytes(row.hex);
        const Dhcpv6Duid duid = decode_duid(bytes.data(), bytes.size());
        EXPECT_EQ(duid.well_formed, row.well_formed) << row.hex;
        EXPECT_EQ(duid.has_link_layer, row.has_link_layer) << row.hex;
        EXPECT_EQ(duid.link_layer_address.size(), row.address_size) << row.hex;
        EXPECT_EQ(duid.bytes, bytes);
    }
}

}  // namespace
