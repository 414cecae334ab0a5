// The probe's judgement of replies: the flags of a reply after those before it, the per-server tally, and
// the verdict with its exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/reply_flags.h"
#include "cli/server_tally.h"
#include "cli/verdict.h"
#include "protocol/reply_fields.h"

namespace {

constexpr int kNone = -1;
const Ipv4Address kZero{};
const Ipv4Address kServer{192, 168, 77, 1}, kSecond{192, 168, 77, 3}, kAlias{192, 168, 77, 33};
const Ipv4Address kRelay{192, 168, 77, 2}, kUpstream{10, 77, 0, 2};
const Ipv4Address kOfferIn{192, 168, 77, 120}, kOfferOut{10, 88, 0, 133};

// One reply as the tests need it: where it came in and from, and the few fields the judgement reads.
struct R {
    const char* interface;
    Ipv4Address source;
    Ipv4Address identifier;  // zero: no option 54
    Ipv4Address relay;
    Ipv4Address offered;
    int type;    // kNone: no option 53
    int prefix;  // subnet mask length; kNone: no option 1
    int round = 1;
    bool answers = true;  // a BOOTREPLY with the cookie and the probe's transaction id
};

ReplyRecord record_of(const R& r, std::int64_t at)
{
    ReplyRecord reply;
    reply.unix_ms = at;
    reply.elapsed = static_cast<double>(at) / 1000.0;
    reply.round = r.round;
    reply.interface = r.interface;
    reply.source.address = r.source;
    reply.source.port = 67;
    reply.length = 300;
    reply.answers = r.answers;
    reply.fields.has_header = true;
    reply.fields.relay_address = r.relay;
    reply.fields.offered_address = r.offered;
    if (!is_zero_address(r.identifier)) {
        reply.fields.has_server_identifier = true;
        reply.fields.server_identifier = r.identifier;
    }
    if (r.type != kNone) {
        reply.fields.has_message_type = true;
        reply.fields.message_type = static_cast<std::uint8_t>(r.type);
    }
    if (r.prefix != kNone) {
        reply.fields.has_subnet_mask = true;
        for (int bit = 0; bit < r.prefix; ++bit)
            reply.fields.subnet_mask[bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
    }
    return reply;
}

constexpr int kOffer = 2, kAck = 5, kNak = 6;

// A plain --expect list: each server on the untagged LAN.
std::vector<ExpectedServer> expecting(const std::vector<Ipv4Address>& addresses)
{
    std::vector<ExpectedServer> servers;
    for (const Ipv4Address& address : addresses) servers.push_back(expected_address(address));
    return servers;
}

std::vector<Ipv4Address> addresses_of(const std::vector<LanAddress>& servers)
{
    std::vector<Ipv4Address> addresses;
    for (const LanAddress& server : servers) addresses.push_back(server.address);
    return addresses;
}

std::vector<Ipv4Address> addresses_of(const std::vector<ExpectedServer>& servers)
{
    std::vector<Ipv4Address> addresses;
    for (const ExpectedServer& server : servers) addresses.push_back(server.address);
    return addresses;
}

struct FlagCase {
    const char* name;
    std::vector<R> replies;  // the last one is judged
    std::vector<Ipv4Address> expected;
    std::vector<std::string> words;
};

void PrintTo(const FlagCase& c, std::ostream* out)
{
    *out << c.name;
}

// clang-format off
const FlagCase kFlagCases[] = {
    {"plain_direct_offer", {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24}}, {}, {}},
    {"direct_reply_from_another_address",
     {{"eth0", kSecond, kAlias, kZero, kOfferIn, kOffer, 24}}, {}, {"identifier-differs-from-source"}},
    {"relayed_reply_comes_from_the_relay_by_design",
     {{"eth0", kRelay, kUpstream, kRelay, kOfferIn, kOffer, 24}}, {}, {}},
    // The healthy relayed case carries no flag; only an offer outside the relay's network does.
    {"relayed_offer_outside_the_relays_network",
     {{"eth0", kRelay, kUpstream, kRelay, kOfferOut, kOffer, 24}}, {}, {"offer-outside-relay-network"}},
    {"relayed_offer_inside_a_wider_mask",
     {{"eth0", kRelay, kUpstream, kRelay, {192, 168, 1, 9}, kOffer, 16}}, {}, {}},
    {"relayed_offer_without_a_mask_is_not_judged",
     {{"eth0", kRelay, kUpstream, kRelay, kOfferOut, kOffer, kNone}}, {}, {}},
    {"relayed_nak_offers_nothing_to_judge",
     {{"eth0", kRelay, kUpstream, kRelay, kZero, kNak, 24}}, {}, {"not-offer"}},
    {"direct_ack", {{"eth0", kServer, kServer, kZero, kOfferIn, kAck, 24}}, {}, {"not-offer"}},
    {"not_dhcp_at_all", {{"eth0", kServer, kZero, kZero, kZero, kNone, kNone}}, {},
     {"not-offer", "no-server-identifier"}},
    {"second_server_offering_on_the_link",
     {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24},
      {"eth0", kRelay, kUpstream, kRelay, kOfferIn, kOffer, 24}}, {},
     {"several-servers-on-link"}},
    {"first_of_two_servers_is_not_flagged_yet",
     {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24}}, {}, {}},
    {"servers_on_different_links",
     {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24},
      {"eth1", kSecond, kSecond, kZero, kOfferIn, kOffer, 24}}, {}, {}},
    {"a_nak_is_not_an_offer_on_the_link",
     {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24},
      {"eth0", kSecond, kSecond, kZero, kZero, kNak, kNone}}, {}, {"not-offer"}},
    {"same_server_through_two_interfaces",
     {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24},
      {"eth1", kServer, kServer, kZero, kOfferIn, kOffer, 24}}, {}, {"several-paths"}},
    {"same_server_direct_and_through_a_relay",
     {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24},
      {"eth0", kRelay, kServer, kRelay, kOfferIn, kOffer, 24}}, {}, {"several-paths"}},
    {"same_server_same_way_in_two_rounds",
     {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24},
      {"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24, 2}}, {}, {}},
    {"same_server_from_a_second_address_is_one_path",
     {{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24},
      {"eth0", kAlias, kServer, kZero, kOfferIn, kOffer, 24}}, {}, {"identifier-differs-from-source"}},
    {"unexpected_server", {{"eth0", kSecond, kSecond, kZero, kOfferIn, kOffer, 24}}, {kServer},
     {"unexpected-server"}},
    {"expected_by_identifier", {{"eth0", kSecond, kAlias, kZero, kOfferIn, kOffer, 24}}, {kAlias},
     {"identifier-differs-from-source"}},
    {"expected_by_source_address", {{"eth0", kRelay, kUpstream, kRelay, kOfferIn, kOffer, 24}}, {kRelay},
     {}},
};
// clang-format on

class ReplyFlagRules : public testing::TestWithParam<FlagCase> {};

TEST_P(ReplyFlagRules, FlagWhatThePlainReportHides)
{
    const FlagCase& c = GetParam();
    Tally tally;
    ReplyRecord last;
    std::int64_t at = 1000;
    for (const R& r : c.replies) {
        last = record_of(r, at++);
        tally_reply(tally, last, expecting(c.expected));
    }
    EXPECT_EQ(flag_words(judge_reply(last, tally, expecting(c.expected))), c.words);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplyFlagRules, testing::ValuesIn(kFlagCases),
                         [](const testing::TestParamInfo<FlagCase>& info) { return info.param.name; });

struct VerdictCase {
    const char* name;
    std::vector<R> replies;
    std::vector<Ipv4Address> expected;
    int status;
    std::vector<Ipv4Address> unexpected;
    std::vector<Ipv4Address> silent;
    long long drops = 0;  // datagrams the kernel dropped in the round
};

void PrintTo(const VerdictCase& c, std::ostream* out)
{
    *out << c.name;
}

const R kFromServer{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24};
const R kFromUpstream{"eth0", kRelay, kUpstream, kRelay, kOfferIn, kOffer, 24};
const R kFromRogue{"eth0", kSecond, kAlias, kZero, kOfferIn, kOffer, 24};
const R kGarbage{"eth0", kSecond, kZero, kZero, kZero, kNone, kNone};
const R kStray{"eth0", kSecond, kZero, kZero, kZero, kNone, kNone, 1, false};
const R kOutsideRelay{"eth0", kRelay, kUpstream, kRelay, kOfferOut, kOffer, 24};
const R kRelayedNoMask{"eth0", kRelay, kUpstream, kRelay, kOfferOut, kOffer, kNone};
const R kNakFromServer{"eth0", kServer, kServer, kZero, kZero, kNak, kNone};
const R kStrayFromServer{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24, 1, false};

// clang-format off
const VerdictCase kVerdictCases[] = {
    {"nothing_answered", {}, {}, 2, {}, {}},
    {"nothing_answered_with_expectations", {}, {kServer}, 2, {}, {kServer}},
    {"something_answered_none_named", {kFromServer, kFromUpstream}, {}, 0, {}, {}},
    {"every_expected_server_answered", {kFromServer, kFromUpstream}, {kServer, kUpstream}, 0, {}, {}},
    {"a_rogue_among_them", {kFromServer, kFromRogue, kFromUpstream}, {kServer, kUpstream}, 2, {kAlias}, {}},
    {"an_expected_server_silent", {kFromServer}, {kServer, kUpstream}, 2, {}, {kUpstream}},
    {"a_rogue_outweighs_a_silent_server", {kFromRogue}, {kServer}, 2, {kAlias}, {kServer}},
    {"expected_by_the_relays_address", {kFromUpstream}, {kRelay}, 0, {}, {}},
    // Expected either way; its identifier differs from its source address, a concern.
    {"expected_by_the_rogues_source_address", {kFromRogue}, {kSecond}, 1, {}, {}},
    {"expected_by_the_rogues_identifier", {kFromRogue}, {kAlias}, 1, {}, {}},
    {"a_non_dhcp_datagram_is_an_unexpected_answer", {kFromServer, kGarbage}, {kServer}, 2, {kSecond}, {}},
    // Only answers to the probe's request count: anything else on port 68 never makes a verdict OK.
    {"datagrams_that_answer_nothing_are_no_answer", {kStray, kStray}, {}, 2, {}, {}},
    {"the_expected_address_answering_nothing_is_silent", {kStrayFromServer}, {kServer}, 2, {}, {kServer}},
    {"a_stray_datagram_is_no_rogue", {kFromServer, kStray}, {kServer}, 0, {}, {}},
    // Concerns: as OK otherwise, a WARNING; a CRITICAL finding outweighs them.
    {"identifier_differs_from_source_warns", {kFromServer, kFromRogue}, {kServer, kAlias}, 1, {}, {}},
    {"offer_outside_the_relays_network_warns", {kOutsideRelay}, {}, 1, {}, {}},
    {"a_nak_warns", {kNakFromServer}, {kServer}, 1, {}, {}},
    {"a_relayed_offer_without_mask_does_not_warn", {kRelayedNoMask}, {kUpstream}, 0, {}, {}},
    {"a_concern_and_a_silent_server_is_critical", {kOutsideRelay}, {kUpstream, kServer}, 2, {}, {kServer}},
    // A dropped datagram may have been the rogue's: never OK, and never milder than what was heard.
    {"drops_make_an_expected_round_a_warning", {kFromServer}, {kServer}, 1, {}, {}, 1},
    {"drops_leave_a_rogue_critical", {kFromRogue}, {kServer}, 2, {kAlias}, {kServer}, 3},
};
// clang-format on

class VerdictRules : public testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictRules, GiveTheExitStatus)
{
    const VerdictCase& c = GetParam();
    Tally tally;
    std::int64_t at = 0;
    const std::vector<ExpectedServer> expected = expecting(c.expected);
    for (const R& r : c.replies) tally_reply(tally, record_of(r, at++), expected);
    tally.kernel_drops = c.drops;
    const Verdict verdict = judge_tally(tally, expected);
    EXPECT_EQ(verdict.status, c.status);
    EXPECT_EQ(addresses_of(verdict.unexpected), c.unexpected);
    EXPECT_EQ(addresses_of(verdict.silent), c.silent);
    EXPECT_EQ(verdict.nothing_answered,
              std::none_of(c.replies.begin(), c.replies.end(), [](const R& r) { return r.answers; }));
    EXPECT_EQ(verdict.not_dhcp,
              std::count_if(c.replies.begin(), c.replies.end(), [](const R& r) { return !r.answers; }));
    EXPECT_EQ(every_expected_answered(tally, expected), !c.expected.empty() && c.silent.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, VerdictRules, testing::ValuesIn(kVerdictCases),
                         [](const testing::TestParamInfo<VerdictCase>& info) { return info.param.name; });

TEST(ServerTally, NamesEachServerOnceWithCountsTimesAndPaths)
{
    Tally tally;
    const std::vector<ExpectedServer> expected = expecting({kServer});
    tally_reply(tally, record_of({"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24, 1}, 1000), expected);
    tally_reply(tally, record_of({"eth1", kServer, kServer, kZero, kOfferIn, kOffer, 24, 1}, 1010), expected);
    tally_reply(tally, record_of({"eth0", kServer, kServer, kZero, kZero, kNak, kNone, 2}, 6000), expected);
    tally_reply(tally, record_of({"eth0", kRelay, kUpstream, kRelay, kOfferIn, kOffer, 24, 2}, 6005), expected);
    ASSERT_EQ(tally.servers.size(), 2u);
    const ServerRecord& server = tally.servers[0];
    EXPECT_EQ(server.key, kServer);
    EXPECT_TRUE(server.identified);
    EXPECT_EQ(server.replies, 3);
    EXPECT_EQ(server.offers, 2);
    EXPECT_EQ(server.rounds, 2);
    EXPECT_EQ(server.first_unix_ms, 1000);
    EXPECT_EQ(server.last_unix_ms, 6000);
    EXPECT_EQ(server.unexpected_replies, 0);
    ASSERT_EQ(server.paths.size(), 2u);
    EXPECT_EQ(server.paths[1].interface, "eth1");
    EXPECT_EQ(distinct_routes(server), 2u);
    EXPECT_EQ(tally.servers[1].unexpected_replies, 1);
    EXPECT_EQ(tally.replies, 4);
    ASSERT_NE(find_link(tally, "eth0"), nullptr);
    EXPECT_EQ(find_link(tally, "eth0")->servers.size(), 2u);
}

TEST(ServerTally, AReplyWithoutIdentifierIsNamedByItsSource)
{
    Tally tally;
    tally_reply(tally, record_of(kGarbage, 5), {});
    ASSERT_EQ(tally.servers.size(), 1u);
    EXPECT_EQ(tally.servers[0].key, kSecond);
    EXPECT_FALSE(tally.servers[0].identified);
    EXPECT_EQ(tally.servers[0].offers, 0);
    EXPECT_TRUE(tally.links.empty()) << "only offers make a server count on a link";
}

// What counts as an answer: the bytes that came, judged by the one predicate every reply kind shares.
struct AnswerCase {
    const char* name;
    std::size_t length;
    std::uint8_t op;
    bool cookie;
    std::array<std::uint8_t, 4> transaction_id;
    bool answers;
};

void PrintTo(const AnswerCase& c, std::ostream* out)
{
    *out << c.name;
}

constexpr std::array<std::uint8_t, 4> kOther{0x9A, 0x02, 0x00, 0x01};

// clang-format off
const AnswerCase kAnswerCases[] = {
    {"offer_to_the_probe", 300, kBootReply, true, kTransactionId, true},
    {"bootp_reply_without_options", 240, kBootReply, true, kTransactionId, true},
    {"empty_datagram", 0, 0, false, {}, false},
    {"thirty_bytes", 30, kBootReply, false, kTransactionId, false},
    {"header_without_cookie", 236, kBootReply, false, kTransactionId, false},
    {"cookie_missing", 300, kBootReply, false, kTransactionId, false},
    {"another_clients_transaction", 300, kBootReply, true, kOther, false},
    {"a_request_not_a_reply", 300, kBootRequest, true, kTransactionId, false},
    {"op_zero", 300, 0, true, kTransactionId, false},
};
// clang-format on

class AnswerRule : public testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerRule, NeedsABootReplyWithCookieAndTransactionId)
{
    const AnswerCase& c = GetParam();
    std::vector<std::uint8_t> bytes(c.length, 0);
    if (c.length > 0) bytes[0] = c.op;
    for (std::size_t k = 0; k < 4 && 4 + k < c.length; ++k) bytes[4 + k] = c.transaction_id[k];
    if (c.cookie)
        for (std::size_t k = 0; k < 4; ++k) bytes[236 + k] = kMagicCookie[k];
    if (c.length > 240) bytes[240] = kOptionEnd;
    EXPECT_EQ(answers_request(decode_reply_fields(bytes.data(), bytes.size()), kTransactionId), c.answers);
}

INSTANTIATE_TEST_SUITE_P(Cases, AnswerRule, testing::ValuesIn(kAnswerCases),
                         [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

// A LAN that forges server identifiers: the tally stops at its limit, the verdict turns grave, the
// servers it already knows are still counted.
TEST(ServerTally, StopsAtItsLimitAndTheVerdictSaysSo)
{
    Tally tally;
    const std::vector<ExpectedServer> expected = expecting({kServer});
    tally_reply(tally, record_of(kFromServer, 0), expected);
    const std::size_t forged = kMaxServers + 50;
    ReplyRecord last;
    for (std::size_t n = 0; n < forged; ++n) {
        const Ipv4Address id{10, static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                             static_cast<std::uint8_t>(n)};
        last = record_of({"eth0", kSecond, id, kZero, kOfferIn, kOffer, 24}, 1);
        tally_reply(tally, last, expected);
    }
    tally_reply(tally, record_of(kFromServer, 2), expected);
    EXPECT_EQ(tally.servers.size(), kMaxServers);
    EXPECT_EQ(tally.over_limit, static_cast<int>(forged - (kMaxServers - 1)));
    EXPECT_EQ(tally.replies, static_cast<int>(forged) + 2);
    EXPECT_EQ(tally.servers[0].replies, 2) << "a server known before the limit is still counted";
    const ReplyFlags flags = judge_reply(last, tally, expected);
    EXPECT_TRUE(flags.over_limit);
    EXPECT_EQ(flag_words(flags).back(), "over-limit");

    const Verdict verdict = judge_tally(tally, expected);
    EXPECT_EQ(verdict.status, kExitOverLimit);
    EXPECT_EQ(verdict.status, kExitUnexpectedServer) << "the graver, unexpected-server class";
    EXPECT_EQ(verdict.over_limit, tally.over_limit);
    EXPECT_EQ(verdict.unexpected.size(), kMaxServers - 1);

    Tally clean;
    tally_reply(clean, record_of(kFromServer, 0), {});
    for (int n = 0; n < 3; ++n) clean.over_limit += 1;
    EXPECT_EQ(judge_tally(clean, {}).status, kExitOverLimit) << "over the limit without --expect is grave too";
}

TEST(ServerTally, KeepsAFewPathsPerServer)
{
    Tally tally;
    for (int n = 0; n < 40; ++n) {
        const Ipv4Address source{192, 168, 77, static_cast<std::uint8_t>(100 + n)};
        tally_reply(tally, record_of({"eth0", source, kServer, kZero, kOfferIn, kOffer, 24}, n), {});
    }
    ASSERT_EQ(tally.servers.size(), 1u);
    EXPECT_EQ(tally.servers[0].replies, 40);
    EXPECT_EQ(tally.servers[0].paths.size(), kMaxPathsPerServer);
    EXPECT_TRUE(has_answered(tally, expected_address({192, 168, 77, 100}))) << "a source of a kept path";
    EXPECT_FALSE(has_answered(tally, expected_address({192, 168, 77, 99})));
}

TEST(ServerTally, CountsWhatAnswersNothingApart)
{
    Tally tally;
    tally_reply(tally, record_of(kStray, 0), {});
    tally_reply(tally, record_of(kStrayFromServer, 1), expecting({kServer}));
    EXPECT_EQ(tally.replies, 2);
    EXPECT_EQ(tally.not_dhcp, 2);
    EXPECT_TRUE(tally.servers.empty());
    EXPECT_FALSE(has_answered(tally, expected_address(kServer)));
    const ReplyFlags flags = judge_reply(record_of(kStray, 2), tally, {});
    EXPECT_TRUE(flags.not_dhcp);
    EXPECT_FALSE(flags.over_limit);
}

}  // namespace
