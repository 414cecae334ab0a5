// The IPv6 tally: DHCPv6 servers by DUID, routers by link-local address, and the IPv6 half of the verdict.
#include "cli/ipv6_tally.h"

#include <algorithm>

#include "common/dhcpv6_wire.h"

namespace {

constexpr int kOk = 0;
constexpr int kWarning = 1;
constexpr int kCritical = 2;

std::string duid_name(const std::vector<std::uint8_t>& duid)
{
    return duid_hex_text(duid);
}

}  // namespace

bool expects_servers(const Ipv6Expectations& expected)
{
    return !expected.server_duids.empty() || !expected.server_addresses.empty();
}

bool expects_routers(const Ipv6Expectations& expected)
{
    return !expected.router_addresses.empty() || !expected.router_ethernets.empty();
}

bool read_expected_dhcpv6_server(const std::string& text, Ipv6Expectations& expected)
{
    Ipv6Address address{};
    if (text.find(':') != std::string::npos && parse_ipv6(text, address)) {
        if (std::find(expected.server_addresses.begin(), expected.server_addresses.end(), address) ==
            expected.server_addresses.end())
            expected.server_addresses.push_back(address);
        return true;
    }
    std::vector<std::uint8_t> duid;
    if (!parse_duid_hex(text, duid) || duid.size() < 3 || duid.size() > kDuidMaxSize) return false;
    // Six pairs read as an Ethernet address: the caller asks the Ethernet reader first.
    if (std::find(expected.server_duids.begin(), expected.server_duids.end(), duid) == expected.server_duids.end())
        expected.server_duids.push_back(duid);
    return true;
}

std::string read_expected_router(const std::string& text, Ipv6Expectations& expected)
{
    HardwareAddress ethernet{};
    if (parse_hardware_address(text, ethernet)) {
        if (is_group_address(ethernet) || is_zero_hardware_address(ethernet))
            return text + " is a group or all-zero Ethernet address, which no router sends from";
        if (std::find(expected.router_ethernets.begin(), expected.router_ethernets.end(), ethernet) ==
            expected.router_ethernets.end())
            expected.router_ethernets.push_back(ethernet);
        return {};
    }
    Ipv6Address address{};
    if (!parse_ipv6(text, address)) return "not a link-local IPv6 address nor an Ethernet address: " + text;
    // RFC 4861: a router advertises from its link-local address only; any other could never match.
    if (!is_link_local(address)) return text + " is not a link-local address (fe80::/10), which routers advertise from";
    if (std::find(expected.router_addresses.begin(), expected.router_addresses.end(), address) ==
        expected.router_addresses.end())
        expected.router_addresses.push_back(address);
    return {};
}

std::vector<std::uint8_t> duid_ll(const HardwareAddress& address)
{
    return {0x00, 0x03, 0x00, 0x01, address[0], address[1], address[2], address[3], address[4], address[5]};
}

void judge_dhcpv6_answer(Dhcpv6Record& record, const Ipv6Request& request)
{
    const Dhcpv6Message& message = record.message;
    const bool kind =
        message.has_header && (message.message_type == kDhcpv6Advertise || message.message_type == kDhcpv6Reply);
    record.our_transaction =
        message.has_header && !message.is_relay && message.transaction_id == request.transaction_id;
    record.our_client = message.has_client_id && message.client_id.bytes == request.client_duid;
    record.answers = kind && record.our_transaction && record.our_client;
}

bool dhcpv6_server_expected(const Ipv6Expectations& expected, const Dhcpv6Message& message, const Ipv6Address& source)
{
    if (message.has_server_id && std::find(expected.server_duids.begin(), expected.server_duids.end(),
                                           message.server_id.bytes) != expected.server_duids.end())
        return true;
    return std::find(expected.server_addresses.begin(), expected.server_addresses.end(), source) !=
           expected.server_addresses.end();
}

bool router_expected(const Ipv6Expectations& expected, const RouterRecord& record)
{
    if (std::find(expected.router_addresses.begin(), expected.router_addresses.end(), record.source) !=
        expected.router_addresses.end())
        return true;
    return record.advert.has_source_link_layer &&
           std::find(expected.router_ethernets.begin(), expected.router_ethernets.end(),
                     record.advert.source_link_layer) != expected.router_ethernets.end();
}

void tally_dhcpv6(Ipv6Tally& tally, const Dhcpv6Record& record)
{
    tally.datagrams += 1;
    const Dhcpv6Message& message = record.message;
    if (!record.answers) {
        const bool kind =
            message.has_header && (message.message_type == kDhcpv6Advertise || message.message_type == kDhcpv6Reply);
        if (kind)
            tally.foreign += 1;
        else
            tally.not_answer += 1;
        return;
    }
    tally.answers += 1;
    // A malformed DUID (too long, too short, of the wrong size for its type) names no server: keyed by
    // it, a forger could make every answer a new server of any length, so the source address stands in.
    const bool by_duid = message.has_server_id && message.server_id.well_formed;
    const std::string key = by_duid ? duid_name(message.server_id.bytes) : ipv6_text(record.source);
    auto found = tally.server_index.find(key);
    if (found == tally.server_index.end()) {
        if (tally.servers.size() >= kMaxIpv6Servers) {
            tally.over_limit += 1;
            return;
        }
        Dhcpv6Server server;
        server.key = key;
        server.by_duid = by_duid;
        if (by_duid) server.duid = message.server_id.bytes;
        server.source = record.source;
        server.interface = record.interface;
        server.expected = record.expected;
        server.first_elapsed = record.elapsed;
        found = tally.server_index.emplace(key, tally.servers.size()).first;
        tally.servers.push_back(std::move(server));
    }
    Dhcpv6Server& server = tally.servers[found->second];
    server.answers += 1;
    if (message.message_type == kDhcpv6Advertise)
        server.advertises += 1;
    else
        server.replies += 1;
    if (server.last_round != record.round) {
        server.rounds += 1;
        server.last_round = record.round;
    }
    if (message.has_preference) {
        server.has_preference = true;
        server.preference = message.preference;
    }
    server.expected = server.expected || record.expected;
    server.last_elapsed = record.elapsed;
}

void tally_router(Ipv6Tally& tally, const RouterRecord& record)
{
    tally.adverts += 1;
    if (!router_advert_valid(record.advert)) {
        tally.invalid_adverts += 1;
        return;
    }
    const std::string key = ipv6_text(record.source);
    auto found = tally.router_index.find(key);
    if (found == tally.router_index.end()) {
        if (tally.routers.size() >= kMaxIpv6Servers) {
            tally.over_limit += 1;
            return;
        }
        Router router;
        router.source = record.source;
        router.interface = record.interface;
        router.first_elapsed = record.elapsed;
        found = tally.router_index.emplace(key, tally.routers.size()).first;
        tally.routers.push_back(router);
    }
    Router& router = tally.routers[found->second];
    router.adverts += 1;
    if (router.last_round != record.round) {
        router.rounds += 1;
        router.last_round = record.round;
    }
    if (record.advert.has_source_link_layer) {
        router.has_ethernet = true;
        router.ethernet = record.advert.source_link_layer;
        router.vendor = record.vendor;
    }
    router.lifetime = record.advert.router_lifetime;
    router.preference = record.advert.preference;
    router.managed = record.advert.managed;
    router.other = record.advert.other;
    router.expected = router.expected || record.expected;
    router.last_elapsed = record.elapsed;
}

std::string dhcpv6_server_name(const Dhcpv6Server& server)
{
    return server.key;
}

namespace {

bool server_answered(const Ipv6Tally& tally, const std::vector<std::uint8_t>* duid, const Ipv6Address* address)
{
    for (const Dhcpv6Server& server : tally.servers) {
        if (duid != nullptr && server.by_duid && server.duid == *duid) return true;
        if (address != nullptr && server.source == *address) return true;
    }
    return false;
}

bool router_answered(const Ipv6Tally& tally, const Ipv6Address* address, const HardwareAddress* ethernet)
{
    for (const Router& router : tally.routers) {
        if (address != nullptr && router.source == *address) return true;
        if (ethernet != nullptr && router.has_ethernet && router.ethernet == *ethernet) return true;
    }
    return false;
}

}  // namespace

Ipv6Verdict judge_ipv6(const Ipv6Tally& tally, const Ipv6Expectations& expected)
{
    Ipv6Verdict verdict;
    verdict.invalid_adverts = tally.invalid_adverts;
    verdict.over_limit = tally.over_limit;
    verdict.foreign = tally.foreign;
    verdict.kernel_drops = std::max(tally.kernel_drops, 0LL);
    verdict.nothing_answered = tally.servers.empty() && tally.routers.empty() && tally.over_limit == 0;
    if (expects_servers(expected))
        for (const Dhcpv6Server& server : tally.servers)
            if (!server.expected) verdict.unexpected_servers.push_back(dhcpv6_server_name(server));
    if (expects_routers(expected))
        for (const Router& router : tally.routers)
            if (!router.expected) verdict.unexpected_routers.push_back(ipv6_text(router.source));
    for (const auto& duid : expected.server_duids)
        if (!server_answered(tally, &duid, nullptr)) verdict.silent_servers.push_back(duid_hex_text(duid));
    for (const Ipv6Address& address : expected.server_addresses)
        if (!server_answered(tally, nullptr, &address)) verdict.silent_servers.push_back(ipv6_text(address));
    for (const Ipv6Address& address : expected.router_addresses)
        if (!router_answered(tally, &address, nullptr)) verdict.silent_routers.push_back(ipv6_text(address));
    for (const HardwareAddress& ethernet : expected.router_ethernets)
        if (!router_answered(tally, nullptr, &ethernet))
            verdict.silent_routers.push_back(hardware_address_text(ethernet));
    const bool grave = verdict.nothing_answered || verdict.over_limit > 0 || !verdict.unexpected_servers.empty() ||
                       !verdict.unexpected_routers.empty() || !verdict.silent_servers.empty() ||
                       !verdict.silent_routers.empty();
    verdict.status = grave ? kCritical : verdict.invalid_adverts > 0 || verdict.kernel_drops > 0 ? kWarning : kOk;
    return verdict;
}

bool every_ipv6_expected_answered(const Ipv6Tally& tally, const Ipv6Expectations& expected)
{
    const Ipv6Verdict verdict = judge_ipv6(tally, expected);
    return verdict.silent_servers.empty() && verdict.silent_routers.empty();
}
