// What a round hands to the monitoring engines: its neutral record, the events on change that follow from a
// sequence of rounds, and the status line a plugin gives.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "cli/event_queue.h"
#include "cli/events.h"
#include "cli/nagios_report.h"
#include "cli/round_record.h"
#include "cli/verdict.h"

namespace {

const Ipv4Address kServer{192, 168, 77, 1}, kRelay{192, 168, 77, 2}, kUpstream{10, 77, 0, 2};
const Ipv4Address kRogue{192, 168, 77, 3}, kAlias{192, 168, 77, 33};

// An answer to the probe: an OFFER of offered from server, through relay (zero: direct), at elapsed seconds.
ReplyRecord answer(const char* interface, const Ipv4Address& source, const Ipv4Address& server,
                   const Ipv4Address& relay, const Ipv4Address& offered, double elapsed, bool offer = true)
{
    ReplyRecord reply;
    reply.elapsed = elapsed;
    reply.unix_ms = static_cast<std::int64_t>(elapsed * 1000);
    reply.interface = interface;
    reply.source.address = source;
    reply.answers = true;
    reply.fields.has_header = true;
    reply.fields.relay_address = relay;
    reply.fields.offered_address = offered;
    reply.fields.has_server_identifier = true;
    reply.fields.server_identifier = server;
    reply.fields.has_message_type = true;
    reply.fields.message_type = offer ? kDhcpOffer : 5;
    reply.fields.has_subnet_mask = true;
    reply.fields.subnet_mask = {255, 255, 255, 0};
    return reply;
}

// Servers expected on the untagged LAN, by address.
std::vector<ExpectedServer> untagged(const std::vector<Ipv4Address>& addresses)
{
    std::vector<ExpectedServer> servers;
    for (const Ipv4Address& address : addresses) servers.push_back(expected_address(address));
    return servers;
}

Tally tally_of(const std::vector<ReplyRecord>& replies, const std::vector<Ipv4Address>& expected)
{
    Tally tally;
    for (const ReplyRecord& reply : replies) tally_reply(tally, reply, untagged(expected));
    return tally;
}

TEST(RoundRecord, OneRecordPerServerAndWayInWithBoundedLabels)
{
    const std::vector<Ipv4Address> expected{kServer, kUpstream, {192, 168, 77, 99}};
    const Ipv4Address offer{192, 168, 77, 120};
    // The server twice the same way (from two source addresses), the upstream through the relay and directly
    // on another interface, and a rogue; the round's request went out at 10.0 s.
    const Tally tally = tally_of({answer("eth0", kServer, kServer, {}, offer, 10.004),
                                  answer("eth0", {192, 168, 77, 11}, kServer, {}, offer, 10.002),
                                  answer("eth0", kRelay, kUpstream, kRelay, offer, 10.010, false),
                                  answer("eth0", kRelay, kUpstream, kRelay, offer, 10.030),
                                  answer("eth1", kUpstream, kUpstream, {}, {10, 77, 0, 50}, 10.020),
                                  answer("eth0", kRogue, kRogue, {}, {192, 168, 77, 170}, 10.050)},
                                 expected);
    const Verdict verdict = judge_tally(tally, untagged(expected));
    RoundFacts facts{7, 1700000000123, 10.0, 10.75, 1.0, "eth0"};
    const RoundRecord record = make_round_record(facts, tally, verdict, untagged(expected));

    EXPECT_EQ(record.round, 7);
    EXPECT_EQ(record.unix_ms, 1700000000123);
    EXPECT_DOUBLE_EQ(record.duration_seconds, 0.75);
    EXPECT_DOUBLE_EQ(record.interval_seconds, 1.0);
    EXPECT_EQ(record.status, kExitCritical);
    EXPECT_EQ(record.replies, 6);
    EXPECT_EQ(record.unexpected_servers, 1);
    EXPECT_EQ(record.expected_missing, 1);
    struct Row {
        ServerLabels labels;
        int replies;
        double first_offer;
    };
    const Row rows[] = {
        {{"ipv4", "eth0", "", "192.168.77.1", "", "true"}, 2, 0.002},
        {{"ipv4", "eth0", "", "10.77.0.2", "192.168.77.2", "true"}, 2, 0.030},  // its ACK is no offer
        {{"ipv4", "eth1", "", "10.77.0.2", "", "true"}, 1, 0.020},
        {{"ipv4", "eth0", "", "192.168.77.3", "", "false"}, 1, 0.050},
    };
    ASSERT_EQ(record.heard.size(), std::size(rows));
    for (std::size_t k = 0; k < std::size(rows); ++k) {
        EXPECT_EQ(record.heard[k].labels, rows[k].labels) << k;
        EXPECT_EQ(record.heard[k].replies, rows[k].replies) << k;
        EXPECT_NEAR(record.heard[k].first_offer_seconds, rows[k].first_offer, 1e-9) << k;
    }
    ASSERT_EQ(record.expected.size(), 3u);
    EXPECT_EQ(record.expected[2].labels, (ServerLabels{"ipv4", "eth0", "", "192.168.77.99", "", "true"}));
    EXPECT_FALSE(record.expected[2].answered);
    EXPECT_TRUE(record.expected[0].answered && record.expected[1].answered);

    // Without --expect the expected label is empty, and a server that never offered has no first offer.
    const Tally plain = tally_of({answer("eth0", kServer, kServer, {}, offer, 1.5, false)}, {});
    const RoundRecord unnamed =
        make_round_record(RoundFacts{1, 0, 1.0, 2.0, 1.0, ""}, plain, judge_tally(plain, {}), {});
    ASSERT_EQ(unnamed.heard.size(), 1u);
    EXPECT_EQ(unnamed.heard[0].labels.expected, "");
    EXPECT_LT(unnamed.heard[0].first_offer_seconds, 0.0);
    EXPECT_TRUE(unnamed.expected.empty());
}

// A round as the events see it: the strangers heard and the expected servers that answered.
struct EventRound {
    std::vector<const char*> strangers;        // server addresses heard with expected "false", on eth0
    std::vector<const char*> expected_silent;  // of the expected servers 192.168.77.1 and 10.77.0.2
    std::vector<std::string> events;           // "word server" in order
};

struct EventCase {
    const char* name;
    std::vector<EventRound> rounds;
};

void PrintTo(const EventCase& c, std::ostream* out)
{
    *out << c.name;
}

RoundRecord event_record(const EventRound& round, int number)
{
    RoundRecord record;
    record.round = number;
    record.unix_ms = 1700000000000 + number * 1000;
    for (const char* server : round.strangers)
        record.heard.push_back(ServerHeard{{"ipv4", "eth0", "", server, "", "false"}, 1, 0.01, {}});
    record.heard.push_back(ServerHeard{{"ipv4", "eth0", "", "192.168.77.1", "", "true"}, 1, 0.01, {}});
    for (const char* server : {"192.168.77.1", "10.77.0.2"}) {
        bool silent = false;
        for (const char* s : round.expected_silent) silent = silent || std::string(s) == server;
        record.expected.push_back(ExpectedHeard{{"ipv4", "", "", server, "", "true"}, !silent});
    }
    return record;
}

// clang-format off
const EventCase kEventCases[] = {
    {"quiet_rounds_say_nothing", {{{}, {}, {}}, {{}, {}, {}}, {{}, {}, {}}}},
    {"a_stranger_once_then_its_departure",
     {{{}, {}, {}}, {{"192.168.77.3"}, {}, {"unexpected-server 192.168.77.3"}}, {{"192.168.77.3"}, {}, {}},
      {{"192.168.77.3"}, {}, {}}, {{}, {}, {"unexpected-server-gone 192.168.77.3"}}, {{}, {}, {}}}},
    {"a_stranger_from_the_first_round", {{{"192.168.77.3"}, {}, {"unexpected-server 192.168.77.3"}}}},
    {"two_strangers_each_their_own",
     {{{"192.168.77.3"}, {}, {"unexpected-server 192.168.77.3"}},
      {{"192.168.77.3", "192.168.77.4"}, {}, {"unexpected-server 192.168.77.4"}},
      {{"192.168.77.4"}, {}, {"unexpected-server-gone 192.168.77.3"}}}},
    {"an_expected_server_silent_then_back",
     {{{}, {}, {}}, {{}, {"10.77.0.2"}, {"expected-server-silent 10.77.0.2"}}, {{}, {"10.77.0.2"}, {}},
      {{}, {}, {"expected-server-back 10.77.0.2"}}, {{}, {}, {}}}},
    {"silent_from_the_start", {{{}, {"192.168.77.1"}, {"expected-server-silent 192.168.77.1"}}, {{}, {"192.168.77.1"}, {}}}},
    {"a_flapping_rogue_each_change",
     {{{"192.168.77.3"}, {}, {"unexpected-server 192.168.77.3"}}, {{}, {}, {"unexpected-server-gone 192.168.77.3"}},
      {{"192.168.77.3"}, {}, {"unexpected-server 192.168.77.3"}}}},
    {"a_rogue_and_a_silent_server_in_one_round_the_allow_list_first",
     {{{"192.168.77.3"}, {"10.77.0.2"}, {"expected-server-silent 10.77.0.2", "unexpected-server 192.168.77.3"}}}},
};
// clang-format on

class EventRules : public testing::TestWithParam<EventCase> {};

TEST_P(EventRules, OncePerChange)
{
    EventState state;
    int number = 0;
    for (const EventRound& round : GetParam().rounds) {
        ++number;
        std::vector<std::string> words;
        for (const ProbeEvent& event : next_events(state, event_record(round, number))) {
            words.push_back(std::string(event_word(event.kind)) + " " + event.labels.server);
            EXPECT_EQ(event.round, number);
        }
        EXPECT_EQ(words, round.events) << "round " << number;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, EventRules, testing::ValuesIn(kEventCases),
                         [](const testing::TestParamInfo<EventCase>& info) { return info.param.name; });

TEST(EventRules, AStrangerOnTwoInterfacesIsTwoEventsAndAFloodStopsAtTheLimit)
{
    EventState state;
    RoundRecord record;
    record.heard.push_back(ServerHeard{{"ipv4", "eth0", "", "192.168.77.3", "", "false"}, 1, 0.0, {}});
    record.heard.push_back(ServerHeard{{"ipv4", "eth1", "", "192.168.77.3", "", "false"}, 1, 0.0, {}});
    record.heard.push_back(ServerHeard{{"ipv4", "eth1", "", "192.168.77.3", "10.0.0.1", "false"}, 1, 0.0, {}});
    EXPECT_EQ(next_events(state, record).size(), 2u) << "one per interface; the relay does not part them";

    RoundRecord flood;
    for (std::size_t n = 0; n < kMaxEventStrangers + 10; ++n)
        flood.heard.push_back(ServerHeard{
            {"ipv4", "eth0", "", "10.9." + std::to_string(n / 256) + "." + std::to_string(n % 256), "", "false"},
            1,
            0.0,
            {}});
    EventState fresh;
    const std::vector<ProbeEvent> events = next_events(fresh, flood);
    ASSERT_EQ(events.size(), kMaxStrangerEvents + 1);
    EXPECT_EQ(events.back().kind, EventKind::unexpected_servers_folded);
    EXPECT_EQ(static_cast<std::size_t>(events.back().folded), kMaxEventStrangers - kMaxStrangerEvents);
    EXPECT_EQ(events.back().folded_servers.size(), kMaxEventStrangers - kMaxStrangerEvents) << "each one named";
    EXPECT_EQ(fresh.strangers.size(), kMaxEventStrangers);
}

// Whatever strangers come, and however few command slots free up, every change of an expected server's state runs,
// in order, and never behind a stranger's event.
TEST(EventQueue, NoAllowListChangeIsLostWhateverTheStrangers)
{
    std::mt19937 random(21);
    for (int trial = 0; trial < 100; ++trial) {
        EventState state;
        EventQueue queue;
        std::map<std::string, bool> up{{"10.77.0.1", true}, {"10.77.0.2", true}, {"10.77.0.3", true}};
        std::map<std::string, std::vector<EventKind>> changes, ran;
        ProbeEvent event;
        for (int round = 1; round <= 41; ++round) {
            RoundRecord record;
            for (std::uint32_t n = random() % 64; n > 0 && round <= 40; --n)
                record.heard.push_back(
                    {{"ipv4", "eth0", "", "10.9.0." + std::to_string(random() % 200), "", "false"}, 1, 0.0, {}});
            for (auto& [server, answering] : up) {
                const bool now = round > 40 ? answering : random() % 3 != 0;
                if (now != answering)
                    changes[server].push_back(now ? EventKind::expected_server_back
                                                  : EventKind::expected_server_silent);
                answering = now;
                record.expected.push_back({{"ipv4", "", "", server, "", "true"}, now});
            }
            for (const ProbeEvent& made : next_events(state, record)) queue_event(queue, made);
            for (std::uint32_t slots = round > 40 ? 100000 : random() % 4; slots > 0 && take_queued_event(queue, event);
                 --slots) {
                ASSERT_TRUE(allow_list_event(event.kind) || queue.allow_list.empty()) << "a stranger went first";
                if (allow_list_event(event.kind)) ran[event.labels.server].push_back(event.kind);
            }
        }
        EXPECT_EQ(ran, changes) << "trial " << trial;
    }
}

TEST(EventWords, LineAndEnvironment)
{
    ProbeEvent event;
    event.kind = EventKind::unexpected_server;
    event.labels = ServerLabels{"ipv4", "eth\x1b[0", "", "192.168.77.3", "192.168.77.2", "false"};
    event.round = 12;
    event.unix_ms = 1700000000123;
    event.status = 2;
    EXPECT_EQ(event_line(event),
              "orvane-probe: event unexpected-server server=192.168.77.3 family=ipv4 interface=eth\\x1b[0 vlan= "
              "relay=192.168.77.2 expected=false round=12 time=2023-11-14T22:13:20.123Z");
    const std::vector<std::pair<std::string, std::string>> environment{{"ORVANE_EVENT", "unexpected-server"},
                                                                       {"ORVANE_FAMILY", "ipv4"},
                                                                       {"ORVANE_INTERFACE", "eth\x1b[0"},
                                                                       {"ORVANE_VLAN", ""},
                                                                       {"ORVANE_SERVER", "192.168.77.3"},
                                                                       {"ORVANE_RELAY", "192.168.77.2"},
                                                                       {"ORVANE_EXPECTED", "false"},
                                                                       {"ORVANE_ROUND", "12"},
                                                                       {"ORVANE_TIME", "2023-11-14T22:13:20.123Z"},
                                                                       {"ORVANE_STATUS", "2"}};
    EXPECT_EQ(event_environment(event), environment);
    const std::pair<EventKind, const char*> words[] = {{EventKind::unexpected_server, "unexpected-server"},
                                                       {EventKind::unexpected_server_gone, "unexpected-server-gone"},
                                                       {EventKind::expected_server_silent, "expected-server-silent"},
                                                       {EventKind::expected_server_back, "expected-server-back"}};
    for (const auto& [kind, word] : words) EXPECT_STREQ(event_word(kind), word);
}

struct NagiosCase {
    const char* name;
    std::vector<ReplyRecord> replies;
    std::vector<Ipv4Address> expected;
    bool ended_early;
    double first_reply;
    const char* line;
};

void PrintTo(const NagiosCase& c, std::ostream* out)
{
    *out << c.name;
}

const Ipv4Address kOffer{192, 168, 77, 120};
const ReplyRecord kFromServer = answer("eth0", kServer, kServer, {}, kOffer, 0.01);
const ReplyRecord kFromUpstream = answer("eth0", kRelay, kUpstream, kRelay, kOffer, 0.02);
const ReplyRecord kFromRogue = answer("eth0", kRogue, kRogue, {}, {192, 168, 77, 150}, 0.03);
const ReplyRecord kAliasRogue = answer("eth0", kRogue, kAlias, {}, {192, 168, 77, 151}, 0.03);
const ReplyRecord kOutside = answer("eth0", kRelay, kUpstream, kRelay, {10, 88, 0, 9}, 0.02);
const ReplyRecord kAck = answer("eth0", kRogue, kRogue, {}, {192, 168, 77, 150}, 0.03, false);

// clang-format off
const NagiosCase kNagiosCases[] = {
    {"ok_all_expected", {kFromServer, kFromUpstream}, {kServer, kUpstream}, false, 0.012,
     "DHCP OK - 2 servers answered, all expected | servers=2;;;; unexpected=0;;;; missing=0;;;; first_reply=0.012s;;;; verdict=5.003s;;;;"},
    {"ok_none_named", {kFromServer}, {}, false, 0.012,
     "DHCP OK - 1 server answered | servers=1;;;; unexpected=0;;;; missing=0;;;; first_reply=0.012s;;;; verdict=5.003s;;;;"},
    {"ok_quick_says_what_it_did_not_wait_for", {kFromServer}, {kServer}, true, 0.012,
     "DHCP OK - every expected server answered; later servers were not waited for (--quick) | servers=1;;;; unexpected=0;;;; missing=0;;;; first_reply=0.012s;;;; verdict=5.003s;;;;"},
    {"critical_rogue_with_its_offer", {kFromServer, kFromRogue}, {kServer}, false, 0.012,
     "DHCP CRITICAL - unexpected server 192.168.77.3 offered 192.168.77.150 | servers=2;;;; unexpected=1;;;; missing=0;;;; first_reply=0.012s;;;; verdict=5.003s;;;;"},
    {"critical_rogue_that_offered_nothing", {kFromServer, kAck}, {kServer}, false, 0.012,
     "DHCP CRITICAL - unexpected server 192.168.77.3 answered | servers=2;;;; unexpected=1;;;; missing=0;;;; first_reply=0.012s;;;; verdict=5.003s;;;;"},
    {"critical_rogue_and_silence", {kFromRogue, kAliasRogue}, {kServer}, false, 0.03,
     "DHCP CRITICAL - unexpected server 192.168.77.3 offered 192.168.77.150, unexpected server 192.168.77.33 offered 192.168.77.151, expected server 192.168.77.1 silent | servers=2;;;; unexpected=2;;;; missing=1;;;; first_reply=0.030s;;;; verdict=5.003s;;;;"},
    {"critical_nothing_answered", {}, {kServer}, false, -1.0,
     "DHCP CRITICAL - no DHCP server answered | servers=0;;;; unexpected=0;;;; missing=1;;;; first_reply=U;;;; verdict=5.003s;;;;"},
    {"warning_offer_outside_the_relays_network", {kFromServer, kOutside}, {kServer, kUpstream}, false, 0.012,
     "DHCP WARNING - 2 servers answered, all expected; replies carry concerns: 10.77.0.2 offer-outside-relay-network | servers=2;;;; unexpected=0;;;; missing=0;;;; first_reply=0.012s;;;; verdict=5.003s;;;;"},
};
// clang-format on

class NagiosStatusLine : public testing::TestWithParam<NagiosCase> {};

TEST_P(NagiosStatusLine, ByThePluginGuidelines)
{
    const NagiosCase& c = GetParam();
    const Tally tally = tally_of(c.replies, c.expected);
    Verdict verdict = judge_tally(tally, untagged(c.expected));
    verdict.ended_early = c.ended_early;
    EXPECT_EQ(nagios_status_line(tally, verdict, !c.expected.empty(), c.first_reply, 5.0031), c.line);
}

INSTANTIATE_TEST_SUITE_P(Cases, NagiosStatusLine, testing::ValuesIn(kNagiosCases),
                         [](const testing::TestParamInfo<NagiosCase>& info) { return info.param.name; });

TEST(NagiosReport, LongOutputAndTheStatusWords)
{
    Tally tally = tally_of({kFromServer, kFromRogue, kFromRogue, kFromRogue, kFromRogue}, {kServer, kUpstream});
    tally.not_dhcp = 2;
    const Verdict verdict = judge_tally(tally, untagged({kServer, kUpstream}));
    const std::vector<std::string> lines = nagios_lines(tally, verdict, true, IntakeRecord{}, 0.01, 1.0);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].rfind("DHCP CRITICAL - unexpected server 192.168.77.3 offered 192.168.77.150, expected server "
                             "10.77.0.2 silent | ",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[1].rfind("Server 192.168.77.1 expected: 1 reply, 1 offer", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("Server 192.168.77.3 unexpected: 4 replies, 4 offers", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], "Server 10.77.0.2 expected: silent");
    EXPECT_EQ(lines[4].rfind("Not DHCP: 2 datagrams", 0), 0u) << lines[4];
    EXPECT_EQ(nagios_unknown_line("cannot bind UDP port 67: in use | try again"),
              "DHCP UNKNOWN - cannot bind UDP port 67: in use / try again")
        << "a '|' would start performance data";
    const std::pair<int, const char*> words[] = {{0, "OK"}, {1, "WARNING"}, {2, "CRITICAL"}, {3, "UNKNOWN"}};
    for (const auto& [status, word] : words) EXPECT_STREQ(plugin_status_word(status), word);
}

}  // namespace
