// The IPv6 records of a round: servers by DUID, routers by link-local address, family "ipv6".
#include "cli/ipv6_records.h"

namespace {

ServerLabels labels_of(const std::string& interface, const std::string& server, bool named, bool expected)
{
    return ServerLabels{"ipv6", interface, "", server, "", named ? (expected ? "true" : "false") : ""};
}

}  // namespace

void add_ipv6_records(RoundRecord& record, const Ipv6Tally& tally, const Ipv6Verdict& verdict,
                      const Ipv6Expectations& expected, double round_started, const std::string& probe_interface)
{
    const bool servers_named = expects_servers(expected);
    const bool routers_named = expects_routers(expected);
    for (const Dhcpv6Server& server : tally.servers) {
        ServerHeard heard;
        heard.labels = labels_of(server.interface, dhcpv6_server_name(server), servers_named, server.expected);
        heard.replies = server.answers;
        heard.first_offer_seconds = server.advertises > 0 ? server.first_elapsed - round_started : -1.0;
        record.heard.push_back(heard);
    }
    for (const Router& router : tally.routers) {
        ServerHeard heard;
        heard.labels = labels_of(router.interface, ipv6_text(router.source), routers_named, router.expected);
        heard.replies = router.adverts;
        heard.first_offer_seconds = router.first_elapsed - round_started;
        if (router.has_ethernet) heard.ethernet.emplace_back(hardware_address_text(router.ethernet), router.vendor);
        record.heard.push_back(heard);
    }
    const auto add_named = [&](const std::string& name, bool answered) {
        ExpectedHeard named;
        named.labels = labels_of(probe_interface, name, true, true);
        named.answered = answered;
        record.expected.push_back(named);
    };
    const auto silent = [](const std::vector<std::string>& names, const std::string& name) {
        for (const std::string& other : names)
            if (other == name) return true;
        return false;
    };
    for (const auto& duid : expected.server_duids)
        add_named(duid_hex_text(duid), !silent(verdict.silent_servers, duid_hex_text(duid)));
    for (const Ipv6Address& address : expected.server_addresses)
        add_named(ipv6_text(address), !silent(verdict.silent_servers, ipv6_text(address)));
    for (const Ipv6Address& address : expected.router_addresses)
        add_named(ipv6_text(address), !silent(verdict.silent_routers, ipv6_text(address)));
    for (const HardwareAddress& ethernet : expected.router_ethernets)
        add_named(hardware_address_text(ethernet), !silent(verdict.silent_routers, hardware_address_text(ethernet)));
    record.replies += tally.datagrams + tally.adverts;
    record.not_dhcp += tally.foreign + tally.not_answer + tally.invalid_adverts;
    record.over_limit += tally.over_limit;
    record.unexpected_servers +=
        static_cast<int>(verdict.unexpected_servers.size() + verdict.unexpected_routers.size());
    record.expected_missing += static_cast<int>(verdict.silent_servers.size() + verdict.silent_routers.size());
}
