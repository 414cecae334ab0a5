// The probe's flags on a reply: what a plain report of the offer would not show.
#include "cli/reply_flags.h"

#include <algorithm>

namespace {

// A server answering the same way from two Ethernet addresses is one address spoofed, or a fail-over.
bool judge_ethernet_changed(const ReplyRecord& reply, const ServerRecord* server)
{
    if (server == nullptr || !reply.captured || !reply.fields.has_server_identifier) return false;
    const Ipv4Address relay = is_relayed(reply) ? reply.fields.relay_address : Ipv4Address{};
    return std::any_of(server->paths.begin(), server->paths.end(), [&reply, &relay](const ServerPath& path) {
        return path.captured && path.interface == reply.interface && path.relay == relay &&
               path.ethernet != reply.ethernet;
    });
}

}  // namespace

ReplyFlags judge_reply(const ReplyRecord& reply, const Tally& tally, const std::vector<ExpectedServer>& expected)
{
    ReplyFlags flags;
    const ReplyFields& fields = reply.fields;
    flags.unexpected_server = !expected.empty() && !reply_is_expected(expected, reply);
    flags.not_offer = !is_offer(reply);
    flags.no_server_identifier = !fields.has_server_identifier;
    flags.identifier_differs_from_source = (reply_concerns(reply) & kConcernIdentifierDiffers) != 0;
    const ServerRecord* server = find_server(tally, server_key(reply), reply.vlan);
    flags.several_paths = server != nullptr && distinct_routes(*server) > 1;
    const LinkOffers* link = find_link(tally, reply.interface, reply.vlan);
    flags.several_servers_on_link = is_offer(reply) && link != nullptr && link->servers.size() > 1;
    flags.relay_network = judge_relay_network(reply);
    flags.not_dhcp = !reply.answers;
    flags.over_limit = reply.answers && server == nullptr;
    flags.ethernet_changed = judge_ethernet_changed(reply, server);
    return flags;
}

std::vector<std::string> flag_words(const ReplyFlags& flags)
{
    std::vector<std::string> words;
    if (flags.unexpected_server) words.push_back("unexpected-server");
    if (flags.not_offer) words.push_back("not-offer");
    if (flags.no_server_identifier) words.push_back("no-server-identifier");
    if (flags.identifier_differs_from_source) words.push_back("identifier-differs-from-source");
    if (flags.several_paths) words.push_back("several-paths");
    if (flags.several_servers_on_link) words.push_back("several-servers-on-link");
    if (flags.relay_network == RelayNetwork::outside) words.push_back("offer-outside-relay-network");
    if (flags.not_dhcp) words.push_back("not-dhcp");
    if (flags.over_limit) words.push_back("over-limit");
    if (flags.ethernet_changed) words.push_back("ethernet-changed");
    return words;
}

std::vector<std::string> concern_words(unsigned concerns)
{
    std::vector<std::string> words;
    if ((concerns & kConcernNotOffer) != 0) words.push_back("not-offer");
    if ((concerns & kConcernIdentifierDiffers) != 0) words.push_back("identifier-differs-from-source");
    if ((concerns & kConcernOutsideRelayNetwork) != 0) words.push_back("offer-outside-relay-network");
    return words;
}
