// The probe's own report: text lines as exact strings, and JSON lines parsed back and checked field by field.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "cli/json_report.h"
#include "cli/text_report.h"
#include "protocol/reply_fields.h"

namespace {

// A plain --expect list, and servers named without a VLAN: each on the untagged LAN.
std::vector<ExpectedServer> expecting(const std::vector<Ipv4Address>& addresses)
{
    std::vector<ExpectedServer> servers;
    for (const Ipv4Address& address : addresses) servers.push_back(expected_address(address));
    return servers;
}

std::vector<LanAddress> untagged(const std::vector<Ipv4Address>& addresses)
{
    std::vector<LanAddress> servers;
    for (const Ipv4Address& address : addresses) servers.push_back(LanAddress{kUntaggedLan, address});
    return servers;
}

using Json = nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

const Ipv4Address kServer{192, 168, 77, 1}, kRelay{192, 168, 77, 2}, kUpstream{10, 77, 0, 2};

// A BOOTREPLY of 240 bytes plus the given options.
Bytes reply_bytes(const Ipv4Address& offered, const Ipv4Address& relay, const Bytes& options)
{
    Bytes data(240, 0);
    data[0] = 2;
    data[1] = 1;
    data[2] = 6;
    data[4] = 0x9a;
    data[5] = 0x02;
    data[10] = 0x80;
    std::copy(offered.begin(), offered.end(), data.begin() + 16);
    std::copy(relay.begin(), relay.end(), data.begin() + 24);
    const Bytes chaddr{0x02, 0x4f, 0x52, 0x56, 0x00, 0x0a};
    std::copy(chaddr.begin(), chaddr.end(), data.begin() + 28);
    data[236] = 0x63;
    data[237] = 0x82;
    data[238] = 0x53;
    data[239] = 0x63;
    data.insert(data.end(), options.begin(), options.end());
    return data;
}

ReplyRecord record_of(const Bytes& data, const Ipv4Address& source, const char* interface, std::int64_t at)
{
    ReplyRecord reply;
    reply.unix_ms = at;
    reply.elapsed = 0.0124;
    reply.interface = interface;
    reply.source.address = source;
    reply.source.port = 67;
    reply.length = data.size();
    reply.datagram_length = static_cast<long long>(data.size());
    reply.fields = decode_reply_fields(data.data(), data.size());
    reply.answers = answers_request(reply.fields, kTransactionId);
    return reply;
}

TEST(UtcTime, IsIso8601WithMilliseconds)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {951782400000, "2000-02-29T00:00:00.000Z"},
        {1700000000123, "2023-11-14T22:13:20.123Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
        {4107542399999, "2100-02-28T23:59:59.999Z"},
    };
    for (const auto& [ms, text] : cases) EXPECT_EQ(utc_time_text(ms), text) << ms;
}

TEST(TextBlock, ExtraLinesSayInterfaceSourceMessageAndFlags)
{
    const Bytes offer = reply_bytes({192, 168, 77, 120}, {}, {53, 1, 2, 54, 4, 192, 168, 77, 33, 255});
    ReplyFlags flags;
    flags.identifier_differs_from_source = true;
    flags.unexpected_server = true;
    EXPECT_EQ(extra_block_lines(record_of(offer, {192, 168, 77, 3}, "eth0", 0), flags),
              (std::vector<std::string>{" Interface eth0", " Source 192.168.77.3:67", " Message OFFER",
                                        " Flags unexpected-server identifier-differs-from-source"}));
    const Bytes odd = reply_bytes({}, {}, {53, 1, 42, 255});
    ReplyRecord cut = record_of(odd, kServer, "", 0);
    cut.truncated = true;
    cut.datagram_length = 600;
    EXPECT_EQ(extra_block_lines(cut, ReplyFlags{}),
              (std::vector<std::string>{" Source 192.168.77.1:67", " Message 42",
                                        " Longer than 548 bytes (600): only its first 548 were read, and it was "
                                        "not logged"}));
    const Bytes none = reply_bytes({}, {}, {255});
    EXPECT_EQ(extra_block_lines(record_of(none, kServer, "", 0), ReplyFlags{})[1], " Message none");
    EXPECT_EQ(flags_line(ReplyFlags{}), "");
}

Tally two_server_tally(const std::vector<ExpectedServer>& expected)
{
    Tally tally;
    const Bytes direct = reply_bytes({192, 168, 77, 120}, {}, {53, 1, 2, 54, 4, 192, 168, 77, 1, 255});
    const Bytes relayed = reply_bytes({192, 168, 77, 220}, kRelay, {53, 1, 2, 54, 4, 10, 77, 0, 2, 255});
    ReplyRecord first = record_of(direct, kServer, "eth0", 1700000000123);
    ReplyRecord second = record_of(relayed, kRelay, "eth0", 1700000000125);
    ReplyRecord third = record_of(relayed, kRelay, "eth1", 1700000005125);
    third.round = 2;
    tally_reply(tally, first, expected);
    tally_reply(tally, second, expected);
    tally_reply(tally, third, expected);
    return tally;
}

TEST(TextSummary, NamesEachServerOnceWithItsPaths)
{
    const Tally tally = two_server_tally(expecting({kServer}));
    const Verdict verdict = judge_tally(tally, expecting({kServer, {192, 168, 77, 9}}));
    EXPECT_EQ(summary_lines(tally, verdict, true),
              (std::vector<std::string>{
                  "Server 192.168.77.1 expected: 1 reply, 1 offer, 1 round, first 2023-11-14T22:13:20.123Z, "
                  "last 2023-11-14T22:13:20.123Z, through eth0 direct",
                  "Server 10.77.0.2 unexpected: 2 replies, 2 offers, 2 rounds, first 2023-11-14T22:13:20.125Z, "
                  "last 2023-11-14T22:13:25.125Z, through eth0 relay 192.168.77.2, eth1 relay 192.168.77.2",
                  "Server 192.168.77.9 expected: silent"}));
    EXPECT_EQ(server_summary_line(tally.servers[0], false),
              "Server 192.168.77.1: 1 reply, 1 offer, 1 round, first 2023-11-14T22:13:20.123Z, "
              "last 2023-11-14T22:13:20.123Z, through eth0 direct");
}

TEST(TextSummary, VerdictLines)
{
    Verdict healthy;
    healthy.status = 0;
    healthy.nothing_answered = false;
    Verdict rogue;
    rogue.status = 2;
    rogue.nothing_answered = false;
    rogue.unexpected = untagged({{192, 168, 77, 3}, {192, 168, 77, 33}});
    Verdict silent;
    silent.status = kExitSilent;
    silent.nothing_answered = false;
    silent.silent = expecting({kUpstream});
    Verdict nothing;
    Verdict over;
    over.status = kExitOverLimit;
    over.nothing_answered = false;
    over.over_limit = 10;
    Verdict over_and_rogue = over;
    over_and_rogue.unexpected = untagged({{192, 168, 77, 3}});
    Verdict many_rogues = rogue;
    many_rogues.unexpected.clear();
    for (std::uint8_t n = 1; n <= 20; ++n) many_rogues.unexpected.push_back(LanAddress{kUntaggedLan, {10, 0, 0, n}});
    Verdict rogue_and_silent = rogue;
    rogue_and_silent.silent = {ExpectedServer{kUpstream}};
    Verdict quick = healthy;
    quick.ended_early = true;
    Verdict concern = healthy;
    concern.status = kExitConcern;
    concern.concerns = {{LanAddress{kUntaggedLan, kUpstream}, kConcernOutsideRelayNetwork},
                        {LanAddress{kUntaggedLan, {10, 0, 0, 9}}, kConcernNotOffer | kConcernIdentifierDiffers}};
    const std::pair<std::string, std::string> cases[] = {
        {verdict_line(over, false), "Verdict 2: more than 4096 servers answered; 10 answers over the limit"},
        {verdict_line(over_and_rogue, true),
         "Verdict 2: more than 4096 servers answered; 10 answers over the limit; unexpected server answered: "
         "192.168.77.3"},
        {verdict_line(many_rogues, true),
         "Verdict 2: unexpected server answered: 10.0.0.1, 10.0.0.2, 10.0.0.3, 10.0.0.4, 10.0.0.5, 10.0.0.6, "
         "10.0.0.7, 10.0.0.8, 10.0.0.9, 10.0.0.10, 10.0.0.11, 10.0.0.12, 10.0.0.13, 10.0.0.14, 10.0.0.15, "
         "10.0.0.16 and 4 more"},
        {verdict_line(healthy, true), "Verdict 0: every reply came from an expected server"},
        {verdict_line(healthy, false), "Verdict 0: something answered; no server was named with --expect"},
        {verdict_line(rogue, true), "Verdict 2: unexpected server answered: 192.168.77.3, 192.168.77.33"},
        {verdict_line(silent, true), "Verdict 2: expected server silent: 10.77.0.2"},
        {verdict_line(rogue_and_silent, true),
         "Verdict 2: unexpected server answered: 192.168.77.3, 192.168.77.33; expected server silent: 10.77.0.2"},
        {verdict_line(nothing, false), "Verdict 2: nothing answered"},
        {round_line(4, 0, Tally{}, nothing, false),
         "Round 4 ended 1970-01-01T00:00:00.000Z: 0 replies from 0 servers; Verdict 2: nothing answered"},
        // --quick answers whether the expected servers answered, not whether a stranger would have.
        {verdict_line(quick, true),
         "Verdict 0: every expected server answered; servers answering later were not waited for (--quick)"},
        {verdict_line(concern, false),
         "Verdict 1: something answered; no server was named with --expect; replies carry concerns: 10.77.0.2 "
         "offer-outside-relay-network, 10.0.0.9 not-offer identifier-differs-from-source"},
    };
    for (const auto& [shown, expected] : cases) EXPECT_EQ(shown, expected);
}

// What did not count or did not arrive whole: said only when there is something to say.
TEST(TextSummary, IntakeLines)
{
    Tally tally;
    IntakeRecord intake;
    EXPECT_TRUE(intake_lines(tally, intake).empty());
    intake.not_logged = 3;
    EXPECT_TRUE(intake_lines(tally, intake).empty()) << "no log asked for, nothing to miss";
    tally.not_dhcp = 1;
    intake.log_on = true;
    intake.kernel_drops = 0;
    EXPECT_EQ(intake_lines(tally, intake),
              (std::vector<std::string>{
                  "Not DHCP: 1 datagram answered no request of this probe (no BOOTREPLY with its transaction id)",
                  "Not logged: 3 replies"}));
    intake.kernel_drops = 18521;
    EXPECT_EQ(intake_lines(tally, intake).back(),
              "Dropped: 18521 datagrams dropped by the kernel before the probe could read them");
}

TEST(TextBlock, InterfaceNamesAreShownEscaped)
{
    const Bytes offer = reply_bytes({192, 168, 77, 120}, {}, {53, 1, 2, 54, 4, 192, 168, 77, 1, 255});
    EXPECT_EQ(extra_block_lines(record_of(offer, kServer, "e\x1b[2Jth", 0), ReplyFlags{})[0], " Interface e\\x1b[2Jth");
    Tally tally;
    tally_reply(tally, record_of(offer, kServer, "e\x1b[2Jth", 0), {});
    EXPECT_NE(server_summary_line(tally.servers[0], false).find("through e\\x1b[2Jth direct"), std::string::npos);
}

TEST(TextSummary, WhyNoReply)
{
    NoReplyFacts facts;
    facts.requests_sent = 1;
    RouteFinding route;
    route.route.found = true;
    route.route.source = {192, 168, 77, 10};
    route.leaves_via = "eth0";
    facts.routes.push_back(route);
    facts.interfaces_known = true;
    facts.addresses.push_back({"eth0", HostAddress{{192, 168, 77, 10}, 24}});
    facts.port68_sockets = 3;
    facts.port68_ours = 1;
    EXPECT_EQ(
        no_reply_lines(facts),
        (std::vector<std::string>{"No reply. What the probe found:", " Ports: UDP 67 and 68 bound on every interface",
                                  " Requests: 1 sent", " Broadcast: leaves through eth0 from 192.168.77.10",
                                  " IPv4: eth0 192.168.77.10/24",
                                  " Port 68: 2 other sockets hold it too, commonly a DHCP client on this host"}));
    NoReplyFacts bare;
    bare.bound_on = {"dummy0"};
    RouteFinding none;
    none.device = "dummy0";
    none.route.found = true;
    none.leaves_via = "dummy0";
    none.route.source = {10, 99, 0, 1};
    bare.routes.push_back(none);
    bare.interfaces_known = true;
    bare.port68_sockets = 1;
    bare.port68_ours = 1;
    const std::vector<std::string> lines = no_reply_lines(bare);
    EXPECT_EQ(lines[1], " Ports: UDP 67 and 68 bound on dummy0");
    EXPECT_EQ(lines[3], " Broadcast on dummy0: leaves through dummy0 from 10.99.0.1");
    EXPECT_EQ(lines[4], " IPv4: the host has no IPv4 address apart from loopback");
    EXPECT_EQ(lines[5], " Port 68: no other program holds it");
    bare.port68_sockets = -1;
    EXPECT_EQ(no_reply_lines(bare)[5], " Port 68: this platform cannot tell whether another program holds it");
}

TEST(JsonReply, DecodesEveryOptionByNameAndTheRestInHex)
{
    // clang-format off
    const Bytes options{
        53, 1, 2,
        54, 4, 192, 168, 77, 1,
        1, 4, 255, 255, 255, 0,
        3, 8, 192, 168, 77, 1, 192, 168, 77, 254,
        51, 4, 0, 0, 14, 16,
        2, 4, 0xFF, 0xFF, 0xF1, 0xF0,          // time offset -3600
        15, 5, 'l', 'a', 'n', 0, 0,            // trailing NULs dropped
        12, 3, 'a', 1, 'b',                    // a control byte: hex
        28, 3, 192, 168, 77,                   // too short for an address: hex
        121, 13, 24, 10, 1, 2, 192, 168, 77, 1, 0, 192, 168, 77, 254,
        55, 3, 1, 3, 6,
        80, 0,
        19, 1, 1,
        224, 3, 1, 2, 0xab,
        255};
    // clang-format on
    const Bytes data = reply_bytes({192, 168, 77, 120}, {}, options);
    ReplyRecord reply = record_of(data, kServer, "eth0", 1700000000123);
    reply.round = 2;
    ReplyFlags flags;
    flags.several_servers_on_link = true;
    const Json j = Json::parse(reply_json(reply, flags, expecting({kServer})));
    EXPECT_EQ(j["type"], "reply");
    EXPECT_EQ(j["time"], "2023-11-14T22:13:20.123Z");
    EXPECT_DOUBLE_EQ(j["elapsed"].get<double>(), 0.012);
    EXPECT_EQ(j["round"], 2);
    EXPECT_EQ(j["interface"], "eth0");
    EXPECT_EQ(j["source"], (Json{{"address", "192.168.77.1"}, {"port", 67}}));
    EXPECT_EQ(j["length"], data.size());
    EXPECT_EQ(j["truncated"], false);
    // A datagram longer than the buffer: its own length where the platform tells it, else null.
    ReplyRecord longer = reply;
    longer.truncated = true;
    longer.length = 548;
    longer.datagram_length = 65507;
    EXPECT_EQ(Json::parse(reply_json(longer, flags, expecting({kServer})))["length"], 65507);
    longer.datagram_length = -1;
    EXPECT_TRUE(Json::parse(reply_json(longer, flags, expecting({kServer})))["length"].is_null());
    EXPECT_EQ(j["server_identifier"], "192.168.77.1");
    EXPECT_TRUE(j["relay"].is_null());
    EXPECT_EQ(j["offered_address"], "192.168.77.120");
    EXPECT_EQ(j["message_type"], "OFFER");
    EXPECT_EQ(j["expected"], true);
    EXPECT_EQ(j["flags"], (Json{{"not_offer", false},
                                {"no_server_identifier", false},
                                {"identifier_differs_from_source", false},
                                {"several_paths", false},
                                {"several_servers_on_link", true},
                                {"offer_in_relay_network", nullptr},
                                {"not_dhcp", false},
                                {"over_limit", false},
                                {"ethernet_changed", false}}));
    EXPECT_EQ(j["bootp"]["transaction_id"], "9a020000");
    EXPECT_EQ(j["bootp"]["client_hardware_address"], "02:4f:52:56:00:0a");
    EXPECT_EQ(j["bootp"]["broadcast"], true);
    const Json& o = j["options"];
    EXPECT_EQ(o["message_type"], "OFFER");
    EXPECT_EQ(o["server_identifier"], "192.168.77.1");
    EXPECT_EQ(o["subnet_mask"], "255.255.255.0");
    EXPECT_EQ(o["router"], (Json{"192.168.77.1", "192.168.77.254"}));
    EXPECT_EQ(o["lease_time"], 3600);
    EXPECT_EQ(o["time_offset"], -3600);
    EXPECT_EQ(o["domain_name"], "lan");
    EXPECT_EQ(o["host_name"], "610162");
    EXPECT_EQ(o["broadcast_address"], "c0a84d");
    EXPECT_EQ(o["classless_static_route"], (Json{{{"destination", "10.1.2.0/24"}, {"router", "192.168.77.1"}},
                                                 {{"destination", "0.0.0.0/0"}, {"router", "192.168.77.254"}}}));
    EXPECT_EQ(o["parameter_request_list"], (Json{1, 3, 6}));
    EXPECT_EQ(o["rapid_commit"], true);
    EXPECT_EQ(o["ip_forwarding"], true);
    EXPECT_EQ(o["option_224"], "0102ab");
    EXPECT_EQ(o.size(), 14u);
}

TEST(JsonReply, RepeatedOptionsAreJoinedOrListedPerOccurrence)
{
    const Bytes options{54, 4, 192, 168, 77,  3,  54,  4,   192, 168, 77,  33,  // two identifiers: one each
                        51, 4, 0,   0,   14,  16, 51,  4,   0,   0,   7,   8,   // two lease times: one each
                        15, 3, 'e', 'x', 'a', 15, 4,   'm', 'p', 'l', 'e',      // a split name: joined
                        56, 2, 'a', 1,   56,  1,  'b',                          // neither fits: hex
                        255};
    const Bytes data = reply_bytes({}, {}, options);
    const Json j = Json::parse(reply_json(record_of(data, {192, 168, 77, 3}, "eth0", 0), ReplyFlags{}, {}));
    EXPECT_EQ(j["options"]["server_identifier"], (Json{"192.168.77.3", "192.168.77.33"}));
    EXPECT_EQ(j["server_identifier"], "192.168.77.33");
    EXPECT_EQ(j["options"]["lease_time"], (Json{3600, 1800}));
    EXPECT_EQ(j["options"]["domain_name"], "example");
    EXPECT_EQ(j["options"]["message"], "610162");
}

TEST(JsonReply, ARelayedReplyAndADatagramThatIsNoReply)
{
    const Bytes relayed =
        reply_bytes({10, 88, 0, 133}, kRelay, {53, 1, 2, 54, 4, 10, 77, 0, 2, 1, 4, 255, 255, 255, 0, 255});
    ReplyFlags outside;
    outside.relay_network = RelayNetwork::outside;
    const Json j = Json::parse(reply_json(record_of(relayed, kRelay, "", 0), outside, {}));
    EXPECT_EQ(j["relay"], "192.168.77.2");
    EXPECT_TRUE(j["interface"].is_null());
    EXPECT_TRUE(j["expected"].is_null()) << "no --expect, no judgement";
    EXPECT_EQ(j["flags"]["offer_in_relay_network"], false);

    const Bytes garbage(30, 0x7f);
    ReplyFlags odd;
    odd.not_offer = true;
    odd.no_server_identifier = true;
    const Json g = Json::parse(reply_json(record_of(garbage, {192, 168, 77, 3}, "eth0", 0), odd, expecting({kServer})));
    EXPECT_TRUE(g["server_identifier"].is_null());
    EXPECT_TRUE(g["message_type"].is_null());
    EXPECT_TRUE(g["bootp"].is_null());
    EXPECT_TRUE(g["offered_address"].is_null());
    EXPECT_EQ(g["options"], Json::object());
    EXPECT_EQ(g["expected"], false);
    EXPECT_EQ(g["flags"]["not_offer"], true);
}

TEST(JsonSummary, ServersVerdictAndDiagnostics)
{
    const std::vector<ExpectedServer> expected = expecting({kServer});
    const Tally tally = two_server_tally(expected);
    const Verdict verdict = judge_tally(tally, expected);
    SendRecord sends;
    sends.sent = 2;
    const Json j =
        Json::parse(summary_json(1700000009000, 9.0004, sends, IntakeRecord{}, 2, tally, verdict, expected, nullptr));
    EXPECT_EQ(j["type"], "summary");
    EXPECT_EQ(j["requests_sent"], 2);
    EXPECT_EQ(j["requests_failed"], 0);
    EXPECT_EQ(j["rounds"], 2);
    EXPECT_EQ(j["replies"], 3);
    EXPECT_EQ(j["expected"], (Json{"192.168.77.1"}));
    ASSERT_EQ(j["servers"].size(), 2u);
    EXPECT_EQ(j["servers"][1]["server"], "10.77.0.2");
    EXPECT_EQ(j["servers"][1]["by"], "server_identifier");
    EXPECT_EQ(j["servers"][1]["expected"], false);
    EXPECT_EQ(j["servers"][1]["replies"], 2);
    EXPECT_EQ(j["servers"][1]["rounds"], 2);
    EXPECT_EQ(j["servers"][1]["last_seen"], "2023-11-14T22:13:25.125Z");
    EXPECT_EQ(
        j["servers"][1]["paths"][1],
        (Json{{"interface", "eth1"}, {"relay", "192.168.77.2"}, {"source", "192.168.77.2"}, {"ethernet", nullptr}}));
    EXPECT_EQ(j["verdict"]["status"], 2);
    EXPECT_EQ(j["verdict"]["unexpected"], (Json{"10.77.0.2"}));
    EXPECT_TRUE(j["diagnostics"].is_null());
    EXPECT_EQ(j["not_dhcp"], 0);
    EXPECT_TRUE(j["replies_not_logged"].is_null()) << "no log";
    EXPECT_TRUE(j["kernel_drops"].is_null()) << "not known";
    EXPECT_EQ(j["verdict"]["over_limit"], 0);
    IntakeRecord intake;
    intake.log_on = true;
    intake.not_logged = 4;
    intake.kernel_drops = 7;
    const Json counted = Json::parse(summary_json(0, 1.0, sends, intake, 1, tally, verdict, expected, nullptr));
    EXPECT_EQ(counted["replies_not_logged"], 4);
    EXPECT_EQ(counted["kernel_drops"], 7);

    NoReplyFacts facts;
    facts.requests_failed = 1;
    RouteFinding none;
    facts.routes.push_back(none);
    facts.interfaces_known = true;
    facts.port68_sockets = 1;
    facts.port68_ours = 1;
    const Json empty = Json::parse(
        summary_json(0, 5.0, SendRecord{0, 1, 0}, IntakeRecord{}, 1, Tally{}, judge_tally(Tally{}, {}), {}, &facts));
    EXPECT_EQ(empty["verdict"]["status"], kExitCritical);
    EXPECT_EQ(empty["verdict"]["waited_for_late_servers"], true);
    EXPECT_EQ(empty["verdict"]["text"], "nothing answered");
    const Json& d = empty["diagnostics"];
    EXPECT_EQ(d["ports_bound"], true);
    EXPECT_TRUE(d["ports_bound_on"].is_null());
    EXPECT_EQ(d["requests_failed"], 1);
    EXPECT_EQ(d["broadcast_routes"][0]["found"], false);
    EXPECT_EQ(d["ipv4_addresses"], Json::array());
    EXPECT_EQ(d["port_68_other_sockets"], 0);

    const Json round = Json::parse(round_json(3, 0, tally, verdict, expected));
    EXPECT_EQ(round["type"], "round");
    EXPECT_EQ(round["round"], 3);
    EXPECT_EQ(round["servers"].size(), 2u);
}

}  // namespace
