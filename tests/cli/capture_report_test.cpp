// Captured replies in the probe's judgement and report: their VLAN and Ethernet source in the tally, the flags and
// the per-VLAN verdicts, and how text and JSON show them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "cli/json_report.h"
#include "cli/reply_flags.h"
#include "cli/text_report.h"
#include "cli/verdict.h"

namespace {

using Json = nlohmann::json;

const Ipv4Address kServer{10, 0, 10, 1}, kOther{10, 0, 20, 1}, kRogue{10, 0, 20, 3}, kRelay{10, 0, 10, 2};
const HardwareAddress kServerMac{0x00, 0x16, 0x3E, 0x11, 0x22, 0x33}, kSpoofMac{0x02, 0, 0, 0, 0, 0x66};
const HardwareAddress kRelayMac{0x00, 0x16, 0x3E, 0x44, 0x55, 0x66}, kRogueMac{0x02, 0x4f, 0x52, 0x58, 0, 0x14};

// A captured OFFER: where it came from, under which tag, with which identifier and relay.
struct C {
    std::uint16_t vlan;
    Ipv4Address identifier;
    HardwareAddress ethernet;
    Ipv4Address relay{};
    const char* interface = "eth0";
};

ReplyRecord captured(const C& c, std::int64_t at = 1700000000000)
{
    ReplyRecord reply;
    reply.unix_ms = at;
    reply.interface = c.interface;
    reply.source.address = is_zero_address(c.relay) ? c.identifier : c.relay;
    reply.source.port = 67;
    reply.length = 300;
    reply.answers = true;
    reply.fields.has_header = true;
    reply.fields.relay_address = c.relay;
    reply.fields.has_server_identifier = true;
    reply.fields.server_identifier = c.identifier;
    reply.fields.has_message_type = true;
    reply.fields.message_type = 2;
    reply.captured = true;
    reply.vlan = c.vlan;
    reply.ethernet = c.ethernet;
    return reply;
}

struct EthernetFlagCase {
    const char* name;
    std::vector<C> replies;  // the last one is judged
    bool changed;
};

void PrintTo(const EthernetFlagCase& c, std::ostream* out)
{
    *out << c.name;
}

// clang-format off
const EthernetFlagCase kEthernetFlagCases[] = {
    {"first_reply", {{10, kServer, kServerMac}}, false},
    {"same_sender_again", {{10, kServer, kServerMac}, {10, kServer, kServerMac}}, false},
    {"another_sender_same_identifier", {{10, kServer, kServerMac}, {10, kServer, kSpoofMac}}, true},
    {"back_to_the_first_after_a_change", {{10, kServer, kServerMac}, {10, kServer, kSpoofMac}, {10, kServer, kServerMac}}, true},
    {"relayed_and_direct_differ_by_design", {{10, kServer, kServerMac}, {10, kServer, kRelayMac, kRelay}}, false},
    {"two_relay_senders_for_one_relay", {{10, kServer, kRelayMac, kRelay}, {10, kServer, kSpoofMac, kRelay}}, true},
    {"another_interface_is_another_way", {{10, kServer, kServerMac, {}, "eth0"}, {10, kServer, kSpoofMac, {}, "eth1"}}, false},
    {"another_vlan_is_another_server", {{10, kServer, kServerMac}, {20, kServer, kSpoofMac}}, false},
};
// clang-format on

class EthernetChangedFlag : public testing::TestWithParam<EthernetFlagCase> {};

TEST_P(EthernetChangedFlag, MarksAServerHeardFromAnotherEthernetAddress)
{
    const EthernetFlagCase& c = GetParam();
    Tally tally;
    ReplyRecord last;
    for (const C& r : c.replies) {
        last = captured(r);
        tally_reply(tally, last, {});
    }
    const ReplyFlags flags = judge_reply(last, tally, {});
    EXPECT_EQ(flags.ethernet_changed, c.changed);
    const std::vector<std::string> words = flag_words(flags);
    EXPECT_EQ(std::find(words.begin(), words.end(), "ethernet-changed") != words.end(), c.changed);
}

INSTANTIATE_TEST_SUITE_P(Cases, EthernetChangedFlag, testing::ValuesIn(kEthernetFlagCases),
                         [](const testing::TestParamInfo<EthernetFlagCase>& info) { return info.param.name; });

TEST(CapturedTally, ServersAreCountedApartPerVlanAndCarryTheirEthernetSource)
{
    Tally tally;
    tally_reply(tally, captured({10, kServer, kServerMac}), {});
    tally_reply(tally, captured({20, kServer, kServerMac}), {});
    tally_reply(tally, captured({20, kServer, kServerMac}), {});
    ASSERT_EQ(tally.servers.size(), 2u);
    EXPECT_EQ(tally.servers[0].vlan, 10);
    EXPECT_EQ(tally.servers[1].vlan, 20);
    EXPECT_EQ(tally.servers[1].replies, 2);
    ASSERT_EQ(tally.servers[1].paths.size(), 1u);
    EXPECT_TRUE(tally.servers[1].paths[0].captured);
    EXPECT_EQ(tally.servers[1].paths[0].ethernet, kServerMac);
    EXPECT_EQ(find_server(tally, kServer, 20), &tally.servers[1]);
    EXPECT_EQ(find_server(tally, kServer, 30), nullptr);
    EXPECT_EQ(find_server(tally, kServer), nullptr) << "nothing on the untagged LAN";
}

struct ExpectedCase {
    const char* name;
    C reply;
    bool captured;
    std::vector<ExpectedServer> expected;
    bool is_expected;
};

void PrintTo(const ExpectedCase& c, std::ostream* out)
{
    *out << c.name;
}

// clang-format off
const ExpectedCase kExpectedCases[] = {
    {"by_identifier_on_its_vlan", {10, kServer, kServerMac}, true, {expected_address(kServer, 10)}, true},
    {"by_identifier_on_another_vlan", {20, kServer, kServerMac}, true, {expected_address(kServer, 10)}, false},
    {"by_ethernet_address", {10, kServer, kServerMac}, true, {expected_ethernet(kServerMac, 10)}, true},
    {"by_ethernet_address_on_another_vlan", {20, kServer, kServerMac}, true, {expected_ethernet(kServerMac, 10)}, false},
    {"a_spoofed_identifier_is_not_the_expected_ethernet", {10, kServer, kSpoofMac}, true, {expected_ethernet(kServerMac, 10)}, false},
    {"by_the_relays_ethernet_address", {10, kServer, kRelayMac, kRelay}, true, {expected_ethernet(kRelayMac, 10)}, true},
    {"a_socket_reply_has_no_ethernet_source", {0, kServer, kServerMac}, false, {expected_ethernet(kServerMac)}, false},
    {"a_socket_reply_on_the_untagged_lan", {0, kServer, kServerMac}, false, {expected_address(kServer)}, true},
};
// clang-format on

class CapturedExpectations : public testing::TestWithParam<ExpectedCase> {};

TEST_P(CapturedExpectations, NameTheServerOnItsLan)
{
    const ExpectedCase& c = GetParam();
    ReplyRecord reply = captured(c.reply);
    reply.captured = c.captured;
    EXPECT_EQ(reply_is_expected(c.expected, reply), c.is_expected);
    Tally tally;
    tally_reply(tally, reply, c.expected);
    EXPECT_EQ(has_answered(tally, c.expected[0]), c.is_expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CapturedExpectations, testing::ValuesIn(kExpectedCases),
                         [](const testing::TestParamInfo<ExpectedCase>& info) { return info.param.name; });

struct LanVerdictCase {
    const char* name;
    std::vector<C> replies;
    std::vector<ExpectedServer> expected;
    std::vector<std::uint16_t> lans;
    int status;
    std::string text;
};

void PrintTo(const LanVerdictCase& c, std::ostream* out)
{
    *out << c.name;
}

// clang-format off
const LanVerdictCase kLanVerdictCases[] = {
    {"every_vlan_answered_nothing_named", {{10, kServer, kServerMac}, {20, kOther, kServerMac}}, {}, {10, 20}, 0,
     "something answered; no server was named with --expect"},
    {"one_vlan_silent", {{10, kServer, kServerMac}}, {}, {10, 20, 30}, 2, "nothing answered on VLAN 20, 30"},
    {"every_vlan_silent", {}, {}, {10, 20}, 2, "nothing answered"},
    {"a_rogue_on_one_vlan", {{10, kServer, kServerMac}, {20, kOther, kServerMac}, {20, kRogue, kRogueMac}},
     {expected_address(kServer, 10), expected_address(kOther, 20)}, {10, 20}, 2, "unexpected server answered: 20/10.0.20.3"},
    {"the_rogue_named_by_ethernet", {{20, kOther, kServerMac}, {20, kRogue, kRogueMac}},
     {expected_address(kOther, 20), expected_ethernet(kRogueMac, 20)}, {20}, 0, "every reply came from an expected server"},
    {"expected_server_on_the_wrong_vlan", {{10, kServer, kServerMac}, {20, kServer, kServerMac}},
     {expected_address(kServer, 10), expected_address(kOther, 20)}, {10, 20}, 2,
     "unexpected server answered: 20/10.0.10.1; expected server silent: 20/10.0.20.1"},
    {"silent_expected_server_and_silent_vlan", {{10, kServer, kServerMac}},
     {expected_address(kServer, 10), expected_ethernet(kRogueMac, 10), expected_address(kOther, 20)}, {10, 20}, 2,
     "nothing answered on VLAN 20; expected server silent: 10/02:4f:52:58:00:14, 20/10.0.20.1"},
    {"replies_on_a_vlan_not_probed_are_not_judged", {{10, kServer, kServerMac}, {40, kRogue, kRogueMac}},
     {expected_address(kServer, 10)}, {10}, 0, "every reply came from an expected server"},
};
// clang-format on

class LanVerdicts : public testing::TestWithParam<LanVerdictCase> {};

TEST_P(LanVerdicts, JudgeEachVlanAndTheRunAsAWhole)
{
    const LanVerdictCase& c = GetParam();
    Tally tally;
    for (const C& r : c.replies) tally_reply(tally, captured(r), c.expected);
    const Verdict verdict = judge_tally(tally, c.expected, c.lans);
    EXPECT_EQ(verdict.status, c.status);
    EXPECT_EQ(verdict_text(verdict, !c.expected.empty()), c.text);
    // The whole run is as grave as its gravest VLAN.
    int gravest = kExitHealthy;
    for (const std::uint16_t lan : c.lans) {
        const int status = judge_tally(tally, c.expected, {lan}).status;
        if (status == kExitUnexpectedServer || (status == kExitSilent && gravest == kExitHealthy)) gravest = status;
    }
    EXPECT_EQ(verdict.status, gravest);
}

INSTANTIATE_TEST_SUITE_P(Cases, LanVerdicts, testing::ValuesIn(kLanVerdictCases),
                         [](const testing::TestParamInfo<LanVerdictCase>& info) { return info.param.name; });

TEST(CapturedText, BlockSummaryAndVerdictLines)
{
    ReplyRecord reply = captured({20, kRogue, kRogueMac});
    EXPECT_EQ(extra_block_lines(reply, ReplyFlags{}),
              (std::vector<std::string>{" Interface eth0", " Source 10.0.20.3:67", " VLAN 20",
                                        " Ethernet 02:4f:52:58:00:14 (locally administered)", " Message OFFER"}));
    reply = captured({0, kServer, kServerMac});
    reply.vendor = "Xensource, Inc.";
    EXPECT_EQ(extra_block_lines(reply, ReplyFlags{})[2], " Ethernet 00:16:3e:11:22:33 (Xensource, Inc.)")
        << "no VLAN line for the untagged LAN";
    reply.vendor = "Bell\x07";
    EXPECT_EQ(extra_block_lines(reply, ReplyFlags{})[2], " Ethernet 00:16:3e:11:22:33 (Bell\\x07)");
    reply.vendor.clear();
    EXPECT_EQ(extra_block_lines(reply, ReplyFlags{})[2], " Ethernet 00:16:3e:11:22:33");

    Tally tally;
    const std::vector<ExpectedServer> expected{expected_address(kServer, 10), expected_address(kOther, 20)};
    tally_reply(tally, captured({10, kServer, kServerMac}, 1700000000123), expected);
    tally_reply(tally, captured({20, kRogue, kRogueMac}, 1700000000124), expected);
    const Verdict verdict = judge_tally(tally, expected, {10, 20});
    EXPECT_EQ(
        summary_lines(tally, verdict, true),
        (std::vector<std::string>{
            "Server 10.0.10.1 on VLAN 10 expected: 1 reply, 1 offer, 1 round, first 2023-11-14T22:13:20.123Z, "
            "last 2023-11-14T22:13:20.123Z, through eth0 direct Ethernet 00:16:3e:11:22:33",
            "Server 10.0.20.3 on VLAN 20 unexpected: 1 reply, 1 offer, 1 round, first 2023-11-14T22:13:20.124Z, "
            "last 2023-11-14T22:13:20.124Z, through eth0 direct Ethernet 02:4f:52:58:00:14 (locally administered)",
            "Server 10.0.20.1 on VLAN 20 expected: silent"}));
    EXPECT_EQ(lan_verdict_lines(tally, expected, {10, 20}),
              (std::vector<std::string>{"VLAN 10: Verdict 0: every reply came from an expected server",
                                        "VLAN 20: Verdict 2: unexpected server answered: 20/10.0.20.3; expected "
                                        "server silent: 20/10.0.20.1"}));
}

TEST(CapturedText, FramesThatWereNoReplyAreCountedByKind)
{
    IntakeRecord intake;
    EXPECT_TRUE(intake_lines(Tally{}, intake).empty());
    intake.captured = true;
    EXPECT_TRUE(intake_lines(Tally{}, intake).empty()) << "nothing to say";
    intake.frames.by_outcome[static_cast<std::size_t>(FrameOutcome::bad_udp_checksum)] = 3;
    intake.frames.by_outcome[static_cast<std::size_t>(FrameOutcome::fragment)] = 1;
    intake.frames.ip_options = 1;
    intake.requests_seen = 2;
    intake.kernel_drops = 0;
    EXPECT_EQ(intake_lines(Tally{}, intake),
              (std::vector<std::string>{"Frames not taken as replies: fragment 1, bad-udp-checksum 3",
                                        "IP options: 1 datagram carried them (read all the same)",
                                        "Requests seen: 2 to port 67 from other clients or relays, not replies"}));
}

TEST(CapturedJson, ReplyServersVerdictsAndFrames)
{
    ReplyRecord reply = captured({20, kRogue, kRogueMac});
    const std::vector<ExpectedServer> expected{expected_address(kServer, 10), expected_address(kOther, 20)};
    Json j = Json::parse(reply_json(reply, ReplyFlags{}, expected));
    EXPECT_EQ(j["vlan"], 20);
    EXPECT_EQ(j["ethernet"],
              (Json{{"address", "02:4f:52:58:00:14"}, {"vendor", nullptr}, {"locally_administered", true}}));
    EXPECT_EQ(j["expected"], false);
    EXPECT_EQ(j["flags"]["ethernet_changed"], false);
    reply = captured({0, kServer, kServerMac});
    reply.vendor = "Xensource, Inc.";
    j = Json::parse(reply_json(reply, ReplyFlags{}, {}));
    EXPECT_TRUE(j["vlan"].is_null()) << "untagged";
    EXPECT_EQ(j["ethernet"]["vendor"], "Xensource, Inc.");
    reply.captured = false;
    EXPECT_TRUE(Json::parse(reply_json(reply, ReplyFlags{}, {}))["ethernet"].is_null()) << "a socket does not tell";

    Tally tally;
    tally_reply(tally, captured({10, kServer, kServerMac}), expected);
    tally_reply(tally, captured({20, kRogue, kRogueMac}), expected);
    const Verdict verdict = judge_tally(tally, expected, {10, 20, 30});
    IntakeRecord intake;
    intake.captured = true;
    intake.frames.by_outcome[static_cast<std::size_t>(FrameOutcome::stacked_tags)] = 2;
    intake.kernel_drops = 0;
    j = Json::parse(summary_json(0, 1.0, SendRecord{}, intake, 1, tally, verdict, expected, nullptr, {10, 20, 30}));
    EXPECT_EQ(j["expected"], (Json{"10/10.0.10.1", "20/10.0.20.1"}));
    EXPECT_EQ(j["servers"][1]["vlan"], 20);
    EXPECT_EQ(j["servers"][1]["paths"][0]["ethernet"]["address"], "02:4f:52:58:00:14");
    EXPECT_EQ(j["verdict"]["status"], 2);
    EXPECT_EQ(j["verdict"]["unexpected"], (Json{"20/10.0.20.3"}));
    EXPECT_EQ(j["verdict"]["silent"], (Json{"20/10.0.20.1"}));
    EXPECT_EQ(j["verdict"]["silent_vlans"], (Json{30}));
    ASSERT_EQ(j["vlans"].size(), 3u);
    EXPECT_EQ(j["vlans"][0], (Json{{"vlan", 10},
                                   {"verdict",
                                    {{"status", 0},
                                     {"text", "every reply came from an expected server"},
                                     {"unexpected", Json::array()},
                                     {"silent", Json::array()},
                                     {"concerns", Json::array()},
                                     {"over_limit", 0},
                                     {"kernel_drops", 0},
                                     {"waited_for_late_servers", true},
                                     {"silent_vlans", Json::array()}}}}));
    EXPECT_EQ(j["vlans"][2]["verdict"]["text"], "nothing answered");
    EXPECT_EQ(j["frames"]["stacked-tags"], 2);
    EXPECT_FALSE(j["frames"].contains("ok")) << "ok frames are replies, not counted here";
    EXPECT_EQ(j["frames"].size(), kFrameOutcomeCount - 1 + 2 + kNotOursCount - 1);
    const Json plain =
        Json::parse(summary_json(0, 1.0, SendRecord{}, IntakeRecord{}, 1, tally, verdict, expected, nullptr));
    EXPECT_TRUE(plain["frames"].is_null());
    EXPECT_TRUE(plain["vlans"].is_null());
}

}  // namespace
