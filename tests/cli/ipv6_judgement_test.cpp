// The IPv6 half of the probe: what counts as an answer, the DHCPv6 servers and routers named on the command
// line, the tally's bounds, the IPv6 verdict, and the reports of ADVERTISEs and advertisements.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "cli/events.h"
#include "cli/ipv6_records.h"
#include "cli/ipv6_report.h"
#include "cli/ipv6_tally.h"
#include "protocol/dhcpv6_duid.h"

namespace {

const HardwareAddress kClient{0x02, 0x4f, 0x52, 0x56, 0x00, 0x0a};
const char* const kClientDuid = "00030001024f5256000a";
const char* const kServerDuid = "000200007ed901";
const char* const kRogueDuid = "000200007ed966";

std::vector<std::uint8_t> bytes_of(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = 0; k + 1 < hex.size(); k += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(k, 2), nullptr, 16)));
    return bytes;
}

std::string option(const char* code, const std::string& value)
{
    char length[20];
    std::snprintf(length, sizeof length, "%04zx", value.size() / 2);
    return std::string(code) + length + value;
}

// An ADVERTISE (or another type) with the transaction id, client and server identifiers given.
std::string message_hex(const char* type, const char* transaction, const char* client, const char* server,
                        const std::string& more = "")
{
    std::string hex = std::string(type) + transaction;
    if (client[0] != '\0') hex += option("0001", client);
    if (server[0] != '\0') hex += option("0002", server);
    return hex + more;
}

Ipv6Address address(const char* text)
{
    Ipv6Address parsed{};
    EXPECT_TRUE(parse_ipv6(text, parsed)) << text;
    return parsed;
}

Ipv6Request request()
{
    Ipv6Request made;
    made.transaction_id = {0x12, 0x34, 0x56};
    made.client_duid = duid_ll(kClient);
    return made;
}

Dhcpv6Record record_of(const std::string& hex, const char* source, const Ipv6Expectations& expected = {})
{
    Dhcpv6Record record;
    const std::vector<std::uint8_t> bytes = bytes_of(hex);
    record.message = decode_dhcpv6(bytes.data(), bytes.size()).message;
    record.source = address(source);
    record.port = 547;
    record.interface = "eth0";
    record.length = bytes.size();
    judge_dhcpv6_answer(record, request());
    record.expected = dhcpv6_server_expected(expected, record.message, record.source);
    return record;
}

// A router advertisement from source with flags (M 0x80, O 0x40, preference bits) and an SLLA option of mac.
RouterRecord advert_of(const char* source, const char* mac_hex, std::uint8_t hop_limit = 255,
                       const Ipv6Expectations& expected = {}, const std::string& more = "")
{
    const std::string hex = std::string("86000000") + "40c00708" + "00000000" + "00000000" +
                            (mac_hex[0] != '\0' ? std::string("0101") + mac_hex : "") + more;
    const std::vector<std::uint8_t> bytes = bytes_of(hex);
    RouterAdvertContext context;
    context.hop_limit = hop_limit;
    context.source = address(source);
    context.destination = kAllNodes;
    context.verify_checksum = false;
    RouterRecord record;
    record.source = context.source;
    record.interface = "eth0";
    record.advert = decode_router_advert(bytes.data(), bytes.size(), context);
    record.expected = router_expected(expected, record);
    return record;
}

struct AnswerCase {
    const char* name;
    std::string hex;
    bool answers, our_transaction, our_client;
};

void PrintTo(const AnswerCase& c, std::ostream* out)
{
    *out << c.name;
}

const AnswerCase kAnswerCases[] = {
    {"advertise_to_us", message_hex("02", "123456", kClientDuid, kServerDuid), true, true, true},
    {"reply_to_us", message_hex("07", "123456", kClientDuid, kServerDuid), true, true, true},
    {"another_transaction", message_hex("02", "abcdef", kClientDuid, kServerDuid), false, false, true},
    {"another_client", message_hex("02", "123456", "00030001024f52560099", kServerDuid), false, true, false},
    {"no_client_identifier", message_hex("02", "123456", "", kServerDuid), false, true, false},
    {"a_reconfigure_is_no_answer", message_hex("0a", "123456", kClientDuid, kServerDuid), false, true, true},
    {"header_cut_short", "0212", false, false, false},
    {"relay_reply_is_not_for_a_client", "0d00" + std::string(64, '0'), false, false, false},
};

class Ipv6Answer : public testing::TestWithParam<AnswerCase> {};

TEST_P(Ipv6Answer, CountsOnlyOurTransactionAndClient)
{
    const Dhcpv6Record record = record_of(GetParam().hex, "fe80::1");
    EXPECT_EQ(record.answers, GetParam().answers);
    EXPECT_EQ(record.our_transaction, GetParam().our_transaction);
    EXPECT_EQ(record.our_client, GetParam().our_client);
    Ipv6Tally tally;
    tally_dhcpv6(tally, record);
    EXPECT_EQ(tally.answers, GetParam().answers ? 1 : 0);
    EXPECT_EQ(tally.servers.size(), GetParam().answers ? 1u : 0u) << "only answers make a server";
    EXPECT_EQ(tally.foreign + tally.not_answer + tally.answers, 1) << "every datagram counted once";
}

INSTANTIATE_TEST_SUITE_P(Cases, Ipv6Answer, testing::ValuesIn(kAnswerCases),
                         [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

// The servers and routers a run hears, what the command line names, and the verdict.
struct VerdictCase {
    const char* name;
    std::vector<std::string> expect;                           // --expect entries
    std::vector<std::string> expect_router;                    // --expect-router entries
    std::vector<std::pair<const char*, const char*>> answers;  // server DUID, source
    std::vector<std::pair<const char*, const char*>> routers;  // source, SLLA in hex
    int invalid_adverts;
    int status;
    std::vector<std::string> unexpected_servers, silent_servers, unexpected_routers, silent_routers;
};

void PrintTo(const VerdictCase& c, std::ostream* out)
{
    *out << c.name;
}

const VerdictCase kVerdictCases[] = {
    {"nothing_answered", {}, {}, {}, {}, 0, 2, {}, {}, {}, {}},
    {"only_an_invalid_advert_is_nothing", {}, {}, {}, {}, 1, 2, {}, {}, {}, {}},
    {"something_answered_nothing_named",
     {},
     {},
     {{kRogueDuid, "fe80::6"}},
     {{"fe80::6", "024f52560006"}},
     0,
     0,
     {},
     {},
     {},
     {}},
    {"named_server_by_duid", {kServerDuid}, {}, {{kServerDuid, "fe80::1"}}, {}, 0, 0, {}, {}, {}, {}},
    {"named_server_by_address", {"fe80::1"}, {}, {{kServerDuid, "fe80::1"}}, {}, 0, 0, {}, {}, {}, {}},
    {"rogue_server",
     {kServerDuid},
     {},
     {{kServerDuid, "fe80::1"}, {kRogueDuid, "fe80::6"}},
     {},
     0,
     2,
     {kRogueDuid},
     {},
     {},
     {}},
    {"silent_server", {kServerDuid, kRogueDuid}, {}, {{kServerDuid, "fe80::1"}}, {}, 0, 2, {}, {kRogueDuid}, {}, {}},
    {"rogue_router_unjudged_without_expect_router",
     {kServerDuid},
     {},
     {{kServerDuid, "fe80::1"}},
     {{"fe80::6", "024f52560006"}},
     0,
     0,
     {},
     {},
     {},
     {}},
    {"rogue_router",
     {},
     {"fe80::1"},
     {},
     {{"fe80::1", "024f52560001"}, {"fe80::6", "024f52560006"}},
     0,
     2,
     {},
     {},
     {"fe80::6"},
     {}},
    {"router_named_by_ethernet", {}, {"02:4f:52:56:00:01"}, {}, {{"fe80::1", "024f52560001"}}, 0, 0, {}, {}, {}, {}},
    {"router_without_slla_not_matched_by_ethernet",
     {},
     {"02:4f:52:56:00:01"},
     {},
     {{"fe80::1", ""}},
     0,
     2,
     {},
     {},
     {"fe80::1"},
     {"02:4f:52:56:00:01"}},
    {"silent_router",
     {},
     {"fe80::1", "fe80::dead"},
     {},
     {{"fe80::1", "024f52560001"}},
     0,
     2,
     {},
     {},
     {},
     {"fe80::dead"}},
    {"invalid_advert_warns", {}, {"fe80::1"}, {}, {{"fe80::1", "024f52560001"}}, 1, 1, {}, {}, {}, {}},
};

class Ipv6VerdictTable : public testing::TestWithParam<VerdictCase> {};

TEST_P(Ipv6VerdictTable, JudgesServersAndRouters)
{
    const VerdictCase& c = GetParam();
    Ipv6Expectations expected;
    for (const std::string& text : c.expect) ASSERT_TRUE(read_expected_dhcpv6_server(text, expected)) << text;
    for (const std::string& text : c.expect_router) ASSERT_EQ(read_expected_router(text, expected), "") << text;
    Ipv6Tally tally;
    for (const auto& [duid, source] : c.answers)
        tally_dhcpv6(tally, record_of(message_hex("02", "123456", kClientDuid, duid), source, expected));
    for (const auto& [source, mac] : c.routers) tally_router(tally, advert_of(source, mac, 255, expected));
    for (int k = 0; k < c.invalid_adverts; ++k) tally_router(tally, advert_of("fe80::7", "024f52560007", 64));
    const Ipv6Verdict verdict = judge_ipv6(tally, expected);
    EXPECT_EQ(verdict.status, c.status);
    EXPECT_EQ(verdict.unexpected_servers, c.unexpected_servers);
    EXPECT_EQ(verdict.silent_servers, c.silent_servers);
    EXPECT_EQ(verdict.unexpected_routers, c.unexpected_routers);
    EXPECT_EQ(verdict.silent_routers, c.silent_routers);
    EXPECT_EQ(every_ipv6_expected_answered(tally, expected), c.silent_servers.empty() && c.silent_routers.empty());
    EXPECT_EQ(tally.invalid_adverts, c.invalid_adverts) << "invalid advertisements are counted, not tallied";
    EXPECT_FALSE(ipv6_verdict_text(verdict, expected).empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, Ipv6VerdictTable, testing::ValuesIn(kVerdictCases),
                         [](const testing::TestParamInfo<VerdictCase>& info) { return info.param.name; });

struct ExpectCase {
    const char* text;
    bool server;            // read as a DHCPv6 server
    bool router;            // read as a router
    std::size_t duid_size;  // of the DUID read; 0 when it is read as an address
};

TEST(Ipv6Expectations, ServersByDuidOrAddressRoutersByLinkLocalOrEthernet)
{
    const ExpectCase cases[] = {
        {"000200007ed901", true, false, 7},
        {"00:02:00:00:7e:d9:01", true, false, 7},
        {"00-02-00-00-7e-d9-01", true, false, 7},
        {"fd00:77::1", true, false, 0},
        {"fe80::4f:52ff:fe56:1", true, true, 0},
        {"02:4f:52:56:00:01", true, true, 6},  // a server's --expect takes Ethernet addresses first (IPv4 capture)
        {"0002", false, false, 0},
        {"xyz", false, false, 0},
        {"fe80::1%eth0", false, false, 0},
        {"fd00::1", true, false, 0},  // not link-local: no router sends from it
        {"01:00:5e:00:00:01", true, false, 6},
    };
    for (const ExpectCase& c : cases) {
        Ipv6Expectations expected;
        EXPECT_EQ(read_expected_dhcpv6_server(c.text, expected), c.server) << c.text;
        if (c.server && c.duid_size > 0) {
            ASSERT_EQ(expected.server_duids.size(), 1u) << c.text;
            EXPECT_EQ(expected.server_duids[0].size(), c.duid_size) << c.text;
        }
        Ipv6Expectations routers;
        EXPECT_EQ(read_expected_router(c.text, routers).empty(), c.router) << c.text;
    }
}

TEST(Ipv6Tally, CountsEveryAnswerButKeepsBoundedServers)
{
    Ipv6Tally tally;
    for (std::size_t k = 0; k < kMaxIpv6Servers + 10; ++k) {
        char duid[32];
        std::snprintf(duid, sizeof duid, "00020000%08zx", k);
        tally_dhcpv6(tally, record_of(message_hex("02", "123456", kClientDuid, duid), "fe80::1"));
    }
    tally_dhcpv6(tally, record_of(message_hex("02", "123456", kClientDuid, "0002000000000000"), "fe80::1"));
    EXPECT_EQ(tally.servers.size(), kMaxIpv6Servers);
    EXPECT_EQ(tally.over_limit, 10);
    EXPECT_EQ(tally.answers, static_cast<int>(kMaxIpv6Servers) + 11);
    EXPECT_EQ(tally.servers[0].answers, 2) << "a known server past the limit is still counted";
    EXPECT_EQ(judge_ipv6(tally, {}).status, 2) << "servers past the limit may hide a rogue";
}

// A malformed DUID (1,300 bytes, a cut UUID, too short) is no server's name: the source address stands in.
TEST(Ipv6Tally, MalformedDuidsAreNeverKeys)
{
    for (const std::string& duid :
         {"0002" + std::string(2592, 'a'), "0004" + std::string(30, '1'), std::string("00")}) {
        Ipv6Tally tally;
        tally_dhcpv6(tally, record_of(message_hex("02", "123456", kClientDuid, duid.c_str()), "fe80::9"));
        EXPECT_EQ(tally.servers.at(0).key, "fe80::9") << duid.size();
    }
}

TEST(Ipv6Report, AdvertiseBlockEscapesTheServersText)
{
    const std::string status = option("000d", "0002" + std::string("1b5b33316d") + "6e6f");  // NoAddrsAvail "\e[31mno"
    const std::string hex =
        message_hex("02", "123456", kClientDuid, "0001000100000001024f52560001",
                    option("0007", "ff") + status + option("0017", "fd000077000000000000000000000001"));
    Ipv6Expectations expected;
    read_expected_dhcpv6_server(kServerDuid, expected);
    const Dhcpv6Record record = record_of(hex, "fe80::1", expected);
    const std::vector<std::string> lines = dhcpv6_block_lines(record, true);
    const std::vector<std::string> want{
        "DHCPv6 ADVERTISE from fe80::1 port 547 on eth0",
        " Server DUID 0001000100000001024f52560001 (DUID-LLT) Ethernet 02:4f:52:56:00:01",
        " Preference 255",
        " DNS fd00:77::1",
        " Status NoAddrsAvail (2) \"\\x1b[31mno\"",
        " Flags unexpected-server",
    };
    EXPECT_EQ(lines, want);
    const auto json = nlohmann::json::parse(dhcpv6_json(record, true));
    EXPECT_EQ(json["type"], "dhcpv6_reply");
    EXPECT_EQ(json["server_duid"]["ethernet"], "02:4f:52:56:00:01");
    EXPECT_EQ(json["statuses"][0]["message"], "\x1b[31mno") << "JSON escapes it itself";
    EXPECT_EQ(json["expected"], false);
    EXPECT_EQ(json["transaction_id"], "123456");
}

TEST(Ipv6Report, InvalidAdvertSaysWhyAndIsNeverJudgedExpected)
{
    Ipv6Expectations expected;
    read_expected_router("fe80::1", expected);
    const RouterRecord record = advert_of("fe80::1", "024f52560001", 254, expected);
    const std::vector<std::string> lines = router_block_lines(record, true);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Invalid router advertisement from fe80::1 on eth0");
    EXPECT_NE(std::find(lines.begin(), lines.end(), " Flags invalid"), lines.end());
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::string& line) { return line.rfind(" Invalid: ", 0) == 0; }),
              lines.end());
    const auto json = nlohmann::json::parse(router_json(record, true));
    EXPECT_EQ(json["valid"], false);
    EXPECT_TRUE(json["expected"].is_null());
    EXPECT_EQ(json["invalid_reasons"].size(), 1u);
}

TEST(Ipv6Report, SummaryCarriesTheGraverStatusAndBothFamilies)
{
    const std::string v4 = R"({"type":"summary","verdict":{"status":1}})";
    const auto both = nlohmann::json::parse(merge_ipv6_summary(v4, R"({"answers":0})", 2, true));
    EXPECT_EQ(both["verdict"]["status"], 2);
    EXPECT_EQ(both["verdict"]["ipv4_status"], 1);
    EXPECT_EQ(both["ipv6"]["answers"], 0);
    const auto alone = nlohmann::json::parse(merge_ipv6_summary(v4, R"({"answers":0})", 0, false));
    EXPECT_EQ(alone["verdict"]["status"], 0);
    EXPECT_TRUE(alone["verdict"]["ipv4_status"].is_null());
}

// A round's IPv6 records: labels of family ipv6 for servers (by DUID) and routers (by link-local address), the
// named ones, and the events they make from one round to the next.
RoundRecord round_of(bool rogues, const Ipv6Expectations& expected)
{
    Ipv6Tally tally;
    tally_dhcpv6(tally, record_of(message_hex("02", "123456", kClientDuid, kServerDuid), "fe80::1", expected));
    tally_router(tally, advert_of("fe80::1", "024f52560001", 255, expected));
    if (rogues) {
        tally_dhcpv6(tally, record_of(message_hex("02", "123456", kClientDuid, kRogueDuid), "fe80::6", expected));
        tally_router(tally, advert_of("fe80::6", "024f52560006", 255, expected));
    }
    tally_dhcpv6(tally, record_of(message_hex("02", "abcdef", kClientDuid, kServerDuid), "fe80::1", expected));
    RoundRecord record;
    add_ipv6_records(record, tally, judge_ipv6(tally, expected), expected, 0.0, "eth0");
    return record;
}

TEST(Ipv6Records, LabelsServersAndRoutersAndMakeEventsOnChange)
{
    Ipv6Expectations expected;
    read_expected_dhcpv6_server(kServerDuid, expected);
    read_expected_router("fe80::1", expected);
    read_expected_router("fe80::dead", expected);
    const RoundRecord with = round_of(true, expected);
    std::vector<std::string> heard;
    for (const ServerHeard& server : with.heard)
        heard.push_back(server.labels.family + " " + server.labels.server + " " + server.labels.expected);
    EXPECT_EQ(heard, (std::vector<std::string>{"ipv6 000200007ed901 true", "ipv6 000200007ed966 false",
                                               "ipv6 fe80::1 true", "ipv6 fe80::6 false"}));
    ASSERT_EQ(with.expected.size(), 3u);
    EXPECT_TRUE(with.expected[0].answered);
    EXPECT_TRUE(with.expected[1].answered);
    EXPECT_FALSE(with.expected[2].answered) << "fe80::dead stays silent";
    EXPECT_EQ(with.unexpected_servers, 2);
    EXPECT_EQ(with.expected_missing, 1);
    EXPECT_EQ(with.not_dhcp, 1) << "the foreign transaction";
    EXPECT_EQ(with.replies, 5);

    EventState state;
    std::vector<std::string> words;
    for (const bool rogues : {true, true, false}) {
        for (const ProbeEvent& event : next_events(state, round_of(rogues, expected)))
            words.push_back(std::string(event_word(event.kind)) + " " + event.labels.server);
        words.emplace_back("|");
    }
    EXPECT_EQ(words,
              (std::vector<std::string>{"expected-server-silent fe80::dead", "unexpected-server 000200007ed966",
                                        "unexpected-server fe80::6", "|", "|", "unexpected-server-gone 000200007ed966",
                                        "unexpected-server-gone fe80::6", "|"}));
}

}  // namespace
