// The probe's option walk (pad, end, lengths, overload, repeats) and the table of kinds it reads values by.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "protocol/dhcp_options.h"
#include "protocol/reply_fields.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Found = std::vector<std::pair<int, Bytes>>;

struct WalkCase {
    const char* name;
    Bytes options;  // from offset 240
    Bytes file;     // at offset 108
    Bytes sname;    // at offset 44
    bool cookie;
    std::size_t length;  // 0: exactly up to the end of the options
    Found found;
    bool cut_short;
};

void PrintTo(const WalkCase& c, std::ostream* out)
{
    *out << c.name;
}

// clang-format off
const WalkCase kWalkCases[] = {
    {"pad_is_one_byte", {0, 0, 53, 1, 2, 255}, {}, {}, true, 0, {{53, {2}}}, false},
    {"end_stops_the_walk", {53, 1, 2, 255, 54, 4, 1, 2, 3, 4}, {}, {}, true, 0, {{53, {2}}}, false},
    {"no_end_walks_to_the_datagram_end", {53, 1, 2}, {}, {}, true, 0, {{53, {2}}}, false},
    {"length_past_the_end_is_cut_short", {53, 1, 2, 54, 4, 1, 2}, {}, {}, true, 0, {{53, {2}}}, true},
    {"code_without_length_byte_is_cut_short", {53, 1, 2, 54}, {}, {}, true, 0, {{53, {2}}}, true},
    {"repeated_codes_are_joined_in_order", {6, 4, 1, 1, 1, 1, 53, 1, 2, 6, 4, 2, 2, 2, 2}, {}, {}, true, 0,
     {{6, {1, 1, 1, 1, 2, 2, 2, 2}}, {53, {2}}}, false},
    {"zero_length_option", {80, 0, 255}, {}, {}, true, 0, {{80, {}}}, false},
    {"no_cookie_no_options", {53, 1, 2, 255}, {}, {}, false, 0, {}, false},
    {"shorter_than_the_cookie", {}, {}, {}, true, 239, {}, false},
    {"datagram_end_cuts_an_option", {53, 1, 2, 54, 4, 1, 2, 3, 4}, {}, {}, true, 246, {{53, {2}}}, true},
    {"overload_1_reads_file", {52, 1, 1, 255}, {66, 3, 'a', 'b', 'c', 255}, {}, true, 0,
     {{52, {1}}, {66, {'a', 'b', 'c'}}}, false},
    {"overload_3_reads_file_then_sname", {52, 1, 3, 255}, {67, 1, 'f', 255}, {66, 1, 's', 255}, true, 0,
     {{52, {3}}, {67, {'f'}}, {66, {'s'}}}, false},
    {"overload_2_leaves_file_alone", {52, 1, 2, 255}, {67, 1, 'f', 255}, {66, 1, 's', 255}, true, 0,
     {{52, {2}}, {66, {'s'}}}, false},
    {"option_split_over_fields_is_joined", {52, 1, 1, 15, 3, 'e', 'x', 'a', 255}, {15, 4, 'm', 'p', 'l', 'e'}, {},
     true, 0, {{52, {1}}, {15, {'e', 'x', 'a', 'm', 'p', 'l', 'e'}}}, false},
    {"overload_with_a_bad_value_is_ignored", {52, 1, 7, 255}, {67, 1, 'f', 255}, {}, true, 0, {{52, {7}}}, false},
};
// clang-format on

Bytes datagram_of(const WalkCase& c)
{
    Bytes data(240 + c.options.size(), 0);
    if (c.cookie) {
        data[236] = 0x63;
        data[237] = 0x82;
        data[238] = 0x53;
        data[239] = 0x63;
    }
    std::copy(c.options.begin(), c.options.end(), data.begin() + 240);
    std::copy(c.file.begin(), c.file.end(), data.begin() + 108);
    std::copy(c.sname.begin(), c.sname.end(), data.begin() + 44);
    // Exactly as long as the datagram, so that AddressSanitizer stops any read past its end.
    if (c.length != 0) data.resize(c.length);
    return data;
}

class OptionWalkCases : public testing::TestWithParam<WalkCase> {};

TEST_P(OptionWalkCases, FindsEveryOption)
{
    const WalkCase& c = GetParam();
    const Bytes data = datagram_of(c);
    const OptionWalk walk = walk_options(data.data(), data.size());
    Found found;
    for (const DhcpOption& option : walk.options) found.emplace_back(option.code, option.data);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(walk.cut_short, c.cut_short);
    EXPECT_EQ(walk.has_cookie, c.cookie && data.size() >= 240);
}

INSTANTIATE_TEST_SUITE_P(Cases, OptionWalkCases, testing::ValuesIn(kWalkCases),
                         [](const testing::TestParamInfo<WalkCase>& info) { return info.param.name; });

struct FitCase {
    const char* name;
    std::uint8_t code;
    Bytes data;
    bool fits;
};

void PrintTo(const FitCase& c, std::ostream* out)
{
    *out << c.name;
}

// clang-format off
const FitCase kFitCases[] = {
    {"address_of_four_bytes", 1, {255, 255, 255, 0}, true},
    {"address_of_three_bytes", 1, {255, 255, 255}, false},
    {"address_list_of_two", 3, {10, 0, 0, 1, 10, 0, 0, 2}, true},
    {"address_list_not_a_multiple_of_four", 3, {10, 0, 0, 1, 10, 0}, false},
    {"address_list_empty", 6, {}, false},
    {"address_pairs", 33, {10, 0, 0, 0, 10, 0, 0, 1}, true},
    {"address_pairs_half_a_pair", 33, {10, 0, 0, 0, 10, 0, 0, 1, 10, 1, 0, 0}, false},
    {"u16", 26, {5, 220}, true},
    {"u16_of_three_bytes", 26, {5, 220, 0}, false},
    {"u32", 51, {0, 0, 14, 16}, true},
    {"u32_of_three_bytes", 51, {0, 14, 16}, false},
    {"boolean_one", 19, {1}, true},
    {"boolean_two", 19, {2}, false},
    {"text", 12, {'h', 'o', 's', 't'}, true},
    {"text_with_trailing_nuls", 15, {'l', 'a', 'n', 0, 0}, true},
    {"text_of_nuls_only", 15, {0, 0}, false},
    {"text_with_a_control_byte", 15, {'a', 1, 'b'}, false},
    {"text_with_a_high_byte", 15, {'a', 0xE9}, false},
    {"message_type", 53, {2}, true},
    {"message_type_of_two_bytes", 53, {2, 2}, false},
    {"code_list_empty", 55, {}, false},
    {"classless_route", 121, {24, 10, 1, 2, 192, 168, 1, 1}, true},
    {"classless_default_route", 121, {0, 192, 168, 1, 1}, true},
    {"classless_width_over_32", 121, {33, 10, 1, 2, 3, 4, 192, 168, 1, 1}, false},
    {"classless_router_cut_short", 121, {24, 10, 1, 2, 192, 168, 1}, false},
    {"empty_kind_empty", 80, {}, true},
    {"empty_kind_with_a_byte", 80, {1}, false},
    {"unknown_code_is_hex", 224, {1, 2, 3}, true},
};
// clang-format on

class OptionFit : public testing::TestWithParam<FitCase> {};

TEST_P(OptionFit, SaysWhetherTheKindCanReadIt)
{
    EXPECT_EQ(option_value_fits(DhcpOption{GetParam().code, GetParam().data, {GetParam().data.size()}}),
              GetParam().fits);
}

INSTANTIATE_TEST_SUITE_P(Cases, OptionFit, testing::ValuesIn(kFitCases),
                         [](const testing::TestParamInfo<FitCase>& info) { return info.param.name; });

TEST(OptionTable, NamesKnownCodesAndNoOthers)
{
    EXPECT_STREQ(option_info(54).name, "server_identifier");
    EXPECT_STREQ(option_info(1).name, "subnet_mask");
    EXPECT_STREQ(option_info(121).name, "classless_static_route");
    EXPECT_EQ(option_info(224).name, nullptr);
    EXPECT_EQ(option_info(0).name, nullptr);
    EXPECT_EQ(option_info(255).name, nullptr);
    // Every name is unique, so a JSON object keyed by name never loses an option.
    std::vector<std::string> names;
    for (int code = 0; code < 256; ++code)
        if (const char* name = option_info(static_cast<std::uint8_t>(code)).name) names.emplace_back(name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

TEST(OptionTable, NamesMessageTypes)
{
    EXPECT_STREQ(message_type_name(2), "OFFER");
    EXPECT_STREQ(message_type_name(5), "ACK");
    EXPECT_STREQ(message_type_name(6), "NAK");
    EXPECT_EQ(message_type_name(0), nullptr);
    EXPECT_EQ(message_type_name(19), nullptr);
    EXPECT_EQ(message_type_name(255), nullptr);
}

TEST(ReplyFields, ReadsTheFixedFieldsAndTheOptionsThatNameTheServer)
{
    Bytes data(300, 0);
    data[0] = 2;
    data[2] = 6;
    data[3] = 1;
    const std::uint8_t xid[4] = {0x9a, 0x02, 0, 0};
    std::copy(xid, xid + 4, data.begin() + 4);
    data[10] = 0x80;
    const Bytes yiaddr{192, 168, 77, 120}, giaddr{192, 168, 77, 2};
    std::copy(yiaddr.begin(), yiaddr.end(), data.begin() + 16);
    std::copy(giaddr.begin(), giaddr.end(), data.begin() + 24);
    data[44] = 'n';
    const Bytes tail{0x63, 0x82, 0x53, 0x63, 53, 1, 2, 54, 4, 10, 77, 0, 2, 1, 4, 255, 255, 255, 0, 255};
    std::copy(tail.begin(), tail.end(), data.begin() + 236);
    const ReplyFields fields = decode_reply_fields(data.data(), data.size());
    ASSERT_TRUE(fields.has_header);
    EXPECT_EQ(fields.op, 2);
    EXPECT_EQ(fields.hops, 1);
    EXPECT_EQ(fields.flags, 0x8000);
    EXPECT_EQ(fields.offered_address, (Ipv4Address{192, 168, 77, 120}));
    EXPECT_EQ(fields.relay_address, (Ipv4Address{192, 168, 77, 2}));
    EXPECT_EQ(fields.server_name, "n");
    EXPECT_TRUE(fields.has_message_type);
    EXPECT_EQ(fields.message_type, 2);
    EXPECT_TRUE(fields.has_server_identifier);
    EXPECT_EQ(fields.server_identifier, (Ipv4Address{10, 77, 0, 2}));
    EXPECT_TRUE(fields.has_subnet_mask);
}

TEST(ReplyFields, ARepeatedServerIdentifierCountsByItsLastOccurrence)
{
    // A server told to send its own identifier sends both: the later one is the one the report names.
    Bytes data(240, 0);
    data[236] = 0x63;
    data[237] = 0x82;
    data[238] = 0x53;
    data[239] = 0x63;
    const Bytes options{54, 4, 192, 168, 77, 3, 54, 4, 192, 168, 77, 33, 255};
    data.insert(data.end(), options.begin(), options.end());
    const ReplyFields fields = decode_reply_fields(data.data(), data.size());
    EXPECT_TRUE(fields.has_server_identifier);
    EXPECT_EQ(fields.server_identifier, (Ipv4Address{192, 168, 77, 33}));
    const DhcpOption* option = find_option(fields.walk, 54);
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->part_lengths, (std::vector<std::size_t>{4, 4}));
    EXPECT_EQ(option_part(*option, 1).data, (Bytes{192, 168, 77, 33}));
    EXPECT_TRUE(option_part(*option, 2).data.empty());
}

TEST(ReplyFields, AShortDatagramHasNoFields)
{
    const Bytes data(235, 0x63);
    const ReplyFields fields = decode_reply_fields(data.data(), data.size());
    EXPECT_FALSE(fields.has_header);
    EXPECT_FALSE(fields.has_server_identifier);
    EXPECT_TRUE(fields.walk.options.empty());
}

TEST(ReplyFields, AServerIdentifierOfTheWrongLengthIsNone)
{
    Bytes data(248, 0);
    const Bytes tail{0x63, 0x82, 0x53, 0x63, 54, 3, 1, 2, 3, 255};
    std::copy(tail.begin(), tail.end(), data.begin() + 236);
    data.resize(246);
    const ReplyFields fields = decode_reply_fields(data.data(), data.size());
    EXPECT_FALSE(fields.has_server_identifier);
    ASSERT_NE(find_option(fields.walk, 54), nullptr);
}

struct AddressCase {
    const char* text;
    bool valid;
    Ipv4Address address;
};

TEST(Ipv4Text, ReadsOnlyFourDecimalOctets)
{
    const AddressCase cases[] = {
        {"192.168.77.1", true, {192, 168, 77, 1}},
        {"0.0.0.0", true, {0, 0, 0, 0}},
        {"255.255.255.255", true, {255, 255, 255, 255}},
        {"256.1.1.1", false, {}},
        {"1.2.3", false, {}},
        {"1.2.3.4.5", false, {}},
        {"1.2.3.", false, {}},
        {"1..3.4", false, {}},
        {"1234.1.1.1", false, {}},
        {" 1.2.3.4", false, {}},
        {"1.2.3.4 ", false, {}},
        {"a.b.c.d", false, {}},
        {"", false, {}},
    };
    for (const AddressCase& c : cases) {
        Ipv4Address address{9, 9, 9, 9};
        EXPECT_EQ(parse_ipv4(c.text, address), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(address, c.address) << c.text;
            EXPECT_EQ(address_text(address), c.text);
        } else {
            EXPECT_EQ(address, (Ipv4Address{9, 9, 9, 9})) << "a refused text leaves the address: " << c.text;
        }
    }
}

}  // namespace
