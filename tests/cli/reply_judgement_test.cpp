// The probe's judgement of replies: the flags of a reply after those before it, the per-server tally, and
// the verdict with its exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/reply_flags.h"
#include "cli/server_tally.h"
#include "cli/verdict.h"

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
     {{"eth0", kRelay, kUpstream, kRelay, kOfferIn, kOffer, 24}}, {}, {"offer-inside-relay-network"}},
    {"relayed_offer_outside_the_relays_network",
     {{"eth0", kRelay, kUpstream, kRelay, kOfferOut, kOffer, 24}}, {}, {"offer-outside-relay-network"}},
    {"relayed_offer_inside_a_wider_mask",
     {{"eth0", kRelay, kUpstream, kRelay, {192, 168, 1, 9}, kOffer, 16}}, {}, {"offer-inside-relay-network"}},
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
     {"several-servers-on-link", "offer-inside-relay-network"}},
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
      {"eth0", kRelay, kServer, kRelay, kOfferIn, kOffer, 24}}, {}, {"several-paths", "offer-inside-relay-network"}},
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
     {"offer-inside-relay-network"}},
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
        tally_reply(tally, last, c.expected);
    }
    EXPECT_EQ(flag_words(judge_reply(last, tally, c.expected)), c.words);
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
};

void PrintTo(const VerdictCase& c, std::ostream* out)
{
    *out << c.name;
}

const R kFromServer{"eth0", kServer, kServer, kZero, kOfferIn, kOffer, 24};
const R kFromUpstream{"eth0", kRelay, kUpstream, kRelay, kOfferIn, kOffer, 24};
const R kFromRogue{"eth0", kSecond, kAlias, kZero, kOfferIn, kOffer, 24};
const R kGarbage{"eth0", kSecond, kZero, kZero, kZero, kNone, kNone};

// clang-format off
const VerdictCase kVerdictCases[] = {
    {"nothing_answered", {}, {}, 3, {}, {}},
    {"nothing_answered_with_expectations", {}, {kServer}, 3, {}, {kServer}},
    {"something_answered_none_named", {kFromServer, kFromRogue}, {}, 0, {}, {}},
    {"every_expected_server_answered", {kFromServer, kFromUpstream}, {kServer, kUpstream}, 0, {}, {}},
    {"a_rogue_among_them", {kFromServer, kFromRogue, kFromUpstream}, {kServer, kUpstream}, 2, {kAlias}, {}},
    {"an_expected_server_silent", {kFromServer}, {kServer, kUpstream}, 3, {}, {kUpstream}},
    {"a_rogue_outweighs_a_silent_server", {kFromRogue}, {kServer}, 2, {kAlias}, {kServer}},
    {"expected_by_the_relays_address", {kFromUpstream}, {kRelay}, 0, {}, {}},
    {"expected_by_the_rogues_source_address", {kFromRogue}, {kSecond}, 0, {}, {}},
    {"expected_by_the_rogues_identifier", {kFromRogue}, {kAlias}, 0, {}, {}},
    {"a_non_dhcp_datagram_is_an_unexpected_answer", {kFromServer, kGarbage}, {kServer}, 2, {kSecond}, {}},
};
// clang-format on

class VerdictRules : public testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictRules, GiveTheExitStatus)
{
    const VerdictCase& c = GetParam();
    Tally tally;
    std::int64_t at = 0;
    for (const R& r : c.replies) tally_reply(tally, record_of(r, at++), c.expected);
    const Verdict verdict = judge_tally(tally, c.expected);
    EXPECT_EQ(verdict.status, c.status);
    EXPECT_EQ(verdict.unexpected, c.unexpected);
    EXPECT_EQ(verdict.silent, c.silent);
    EXPECT_EQ(verdict.nothing_answered, c.replies.empty());
    EXPECT_EQ(every_expected_answered(tally, c.expected), !c.expected.empty() && c.silent.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, VerdictRules, testing::ValuesIn(kVerdictCases),
                         [](const testing::TestParamInfo<VerdictCase>& info) { return info.param.name; });

TEST(ServerTally, NamesEachServerOnceWithCountsTimesAndPaths)
{
    Tally tally;
    const std::vector<Ipv4Address> expected{kServer};
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

}  // namespace
