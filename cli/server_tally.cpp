// What the probe has heard: one record per reply, and per server its counts, times and paths.
#include "cli/server_tally.h"

#include <algorithm>

namespace {

// The server's record, made when the tally has room for it; null past kMaxServers.
ServerRecord* record_for(Tally& tally, const ReplyRecord& reply)
{
    const LanAddress key{reply.vlan, server_key(reply)};
    if (const auto found = tally.indexes.find(key); found != tally.indexes.end()) return &tally.servers[found->second];
    if (tally.servers.size() >= kMaxServers) return nullptr;
    ServerRecord server;
    server.key = key.address;
    server.vlan = reply.vlan;
    server.identified = reply.fields.has_server_identifier;
    server.first_unix_ms = reply.unix_ms;
    server.first_elapsed = reply.elapsed;
    tally.indexes.emplace(key, tally.servers.size());
    tally.servers.push_back(server);
    return &tally.servers.back();
}

void add_path(ServerRecord& server, const ReplyRecord& reply)
{
    ServerPath path;
    path.interface = reply.interface;
    path.relay = is_relayed(reply) ? reply.fields.relay_address : Ipv4Address{};
    path.source = reply.source.address;
    path.captured = reply.captured;
    path.ethernet = reply.ethernet;
    path.vendor = reply.vendor;
    auto known = std::find_if(server.paths.begin(), server.paths.end(), [&path](const ServerPath& p) {
        return p.interface == path.interface && p.relay == path.relay && p.source == path.source &&
               p.captured == path.captured && p.ethernet == path.ethernet;
    });
    if (known == server.paths.end()) {
        if (server.paths.size() >= kMaxPathsPerServer) return;
        server.paths.push_back(path);
        known = server.paths.end() - 1;
    }
    known->replies += 1;
    if (is_offer(reply) && known->first_offer_elapsed < 0.0) known->first_offer_elapsed = reply.elapsed;
}

void add_link_offer(Tally& tally, const ReplyRecord& reply)
{
    auto link = std::find_if(tally.links.begin(), tally.links.end(), [&reply](const LinkOffers& l) {
        return l.interface == reply.interface && l.vlan == reply.vlan;
    });
    if (link == tally.links.end()) {
        tally.links.push_back(LinkOffers{reply.interface, reply.vlan, {}});
        link = tally.links.end() - 1;
    }
    link->servers.insert(server_key(reply));
}

}  // namespace

Ipv4Address server_key(const ReplyRecord& reply)
{
    return reply.fields.has_server_identifier ? reply.fields.server_identifier : reply.source.address;
}

bool is_relayed(const ReplyRecord& reply)
{
    return reply.fields.has_header && !is_zero_address(reply.fields.relay_address);
}

bool is_offer(const ReplyRecord& reply)
{
    return reply.fields.has_message_type && reply.fields.message_type == kDhcpOffer;
}

RelayNetwork judge_relay_network(const ReplyRecord& reply)
{
    const ReplyFields& fields = reply.fields;
    if (!is_relayed(reply) || is_zero_address(fields.offered_address)) return RelayNetwork::not_relayed;
    // The relay's network is the one the server itself names for the client: giaddr under the subnet
    // mask sent with the offer.
    if (!fields.has_subnet_mask) return RelayNetwork::unknown;
    const int prefix = prefix_length_of(fields.subnet_mask);
    return same_network(fields.offered_address, fields.relay_address, prefix) ? RelayNetwork::inside
                                                                              : RelayNetwork::outside;
}

unsigned reply_concerns(const ReplyRecord& reply)
{
    const ReplyFields& fields = reply.fields;
    unsigned concerns = 0;
    // A relayed reply comes from the relay by design; only a direct one should come from the server itself.
    if (fields.has_server_identifier && !is_relayed(reply) && fields.server_identifier != reply.source.address)
        concerns |= kConcernIdentifierDiffers;
    if (judge_relay_network(reply) == RelayNetwork::outside) concerns |= kConcernOutsideRelayNetwork;
    if (!is_offer(reply)) concerns |= kConcernNotOffer;
    return concerns;
}

bool reply_is_expected(const std::vector<ExpectedServer>& expected, const ReplyRecord& reply)
{
    for (const ExpectedServer& server : expected) {
        if (server.vlan != reply.vlan) continue;
        if (server.by_ethernet) {
            if (reply.captured && reply.ethernet == server.ethernet) return true;
            continue;
        }
        if (reply.fields.has_server_identifier && reply.fields.server_identifier == server.address) return true;
        if (reply.source.address == server.address) return true;
    }
    return false;
}

void tally_reply(Tally& tally, const ReplyRecord& reply, const std::vector<ExpectedServer>& expected)
{
    tally.replies += 1;
    if (!reply.answers) {
        tally.not_dhcp += 1;
        return;
    }
    ServerRecord* tracked = record_for(tally, reply);
    if (tracked == nullptr) {
        tally.over_limit += 1;
        return;
    }
    ServerRecord& server = *tracked;
    tally.sources.insert(LanAddress{reply.vlan, reply.source.address});
    // Bounded like the paths, which a forger varying its Ethernet source would otherwise outgrow.
    if (reply.captured && tally.ethernet_sources.size() < kMaxServers * kMaxPathsPerServer)
        tally.ethernet_sources.insert(LanEthernet{reply.vlan, reply.ethernet});
    server.replies += 1;
    if (is_offer(reply)) {
        if (server.offers == 0) server.first_offered = reply.fields.offered_address;
        server.offers += 1;
    }
    server.concerns |= reply_concerns(reply);
    if (server.last_round != reply.round) {
        server.rounds += 1;
        server.last_round = reply.round;
    }
    if (!expected.empty() && !reply_is_expected(expected, reply)) server.unexpected_replies += 1;
    server.last_unix_ms = reply.unix_ms;
    server.last_elapsed = reply.elapsed;
    add_path(server, reply);
    if (is_offer(reply)) add_link_offer(tally, reply);
}

const ServerRecord* find_server(const Tally& tally, const Ipv4Address& key, std::uint16_t vlan)
{
    const auto found = tally.indexes.find(LanAddress{vlan, key});
    return found == tally.indexes.end() ? nullptr : &tally.servers[found->second];
}

const LinkOffers* find_link(const Tally& tally, const std::string& interface, std::uint16_t vlan)
{
    for (const LinkOffers& link : tally.links)
        if (link.interface == interface && link.vlan == vlan) return &link;
    return nullptr;
}

std::size_t distinct_routes(const ServerRecord& server)
{
    std::vector<const ServerPath*> routes;
    for (const ServerPath& path : server.paths) {
        const bool seen = std::any_of(routes.begin(), routes.end(), [&path](const ServerPath* r) {
            return r->interface == path.interface && r->relay == path.relay;
        });
        if (!seen) routes.push_back(&path);
    }
    return routes.size();
}
