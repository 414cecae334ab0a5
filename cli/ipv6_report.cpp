// The IPv6 half of the probe's reports, in text and in JSON Lines (nlohmann-json).
#include "cli/ipv6_report.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include "cli/console_output.h"
#include "cli/nagios_report.h"
#include "cli/text_report.h"
#include "common/dhcpv6_wire.h"

namespace {

using Json = nlohmann::ordered_json;

std::string seconds_text(std::uint32_t seconds)
{
    return seconds == 0xffffffffu ? std::string("infinite") : std::to_string(seconds) + " s";
}

std::string joined(const std::vector<std::string>& items, const char* separator = ", ")
{
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

std::string counted(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A server's text, echoed: escaped so that it cannot steer the terminal.
std::string status_text(const Dhcpv6Status& status)
{
    return std::string(dhcpv6_status_name(status.code)) + " (" + std::to_string(status.code) + ") \"" +
           terminal_text(status.message) + "\"";
}

std::string message_name(const Dhcpv6Message& message)
{
    return message.has_header ? dhcpv6_message_type_name(message.message_type) : "truncated message";
}

std::vector<std::string> dhcpv6_flags(const Dhcpv6Record& record, bool expectations)
{
    std::vector<std::string> flags;
    if (!record.answers) {
        if (!record.our_transaction) flags.emplace_back("foreign-transaction-id");
        if (!record.our_client) flags.emplace_back("foreign-client-id");
    } else if (expectations && !record.expected) {
        flags.emplace_back("unexpected-server");
    }
    if (record.truncated) flags.emplace_back("truncated");
    if (!record.message.faults.empty()) flags.emplace_back("malformed");
    return flags;
}

std::vector<std::string> router_flags(const RouterRecord& record, bool expectations)
{
    std::vector<std::string> flags;
    if (!router_advert_valid(record.advert))
        flags.emplace_back("invalid");
    else if (expectations && !record.expected)
        flags.emplace_back("unexpected-router");
    return flags;
}

Json statuses_json(const std::vector<Dhcpv6Status>& statuses)
{
    Json array = Json::array();
    for (const Dhcpv6Status& status : statuses)
        array.push_back(
            {{"code", status.code}, {"name", dhcpv6_status_name(status.code)}, {"message", status.message}});
    return array;
}

Json strings_json(const std::vector<std::string>& items)
{
    Json array = Json::array();
    for (const std::string& item : items) array.push_back(item);
    return array;
}

Json addresses_json(const std::vector<Ipv6Address>& addresses)
{
    Json array = Json::array();
    for (const Ipv6Address& address : addresses) array.push_back(ipv6_text(address));
    return array;
}

Json duid_json(const Dhcpv6Duid& duid)
{
    Json object{{"hex", duid_hex_text(duid.bytes)}, {"type", duid_kind_text(duid)}};
    if (duid.has_link_layer && duid.link_layer_address.size() == 6) {
        HardwareAddress ethernet{};
        for (std::size_t k = 0; k < 6; ++k) ethernet[k] = duid.link_layer_address[k];
        object["ethernet"] = hardware_address_text(ethernet);
    } else {
        object["ethernet"] = nullptr;
    }
    return object;
}

Json flags_json(const std::vector<std::string>& flags)
{
    return strings_json(flags);
}

std::string line_of(const Json& object)
{
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string duid_kind_text(const Dhcpv6Duid& duid)
{
    if (!duid.has_type) return "DUID too short";
    switch (duid.type) {
        case 1: return "DUID-LLT";
        case 2: return "DUID-EN";
        case 3: return "DUID-LL";
        case 4: return "DUID-UUID";
        default: return "DUID type " + std::to_string(duid.type);
    }
}

std::vector<std::string> dhcpv6_block_lines(const Dhcpv6Record& record, bool expectations)
{
    const Dhcpv6Message& message = record.message;
    std::vector<std::string> lines{"DHCPv6 " + message_name(message) + " from " + ipv6_text(record.source) + " port " +
                                   std::to_string(record.port) +
                                   (record.interface.empty() ? "" : " on " + terminal_text(record.interface))};
    if (message.has_server_id) {
        std::string line =
            " Server DUID " + duid_hex_text(message.server_id.bytes) + " (" + duid_kind_text(message.server_id) + ")";
        const Json duid = duid_json(message.server_id);
        if (!duid["ethernet"].is_null()) line += " Ethernet " + duid["ethernet"].get<std::string>();
        lines.push_back(line);
    }
    if (!record.our_transaction)
        lines.push_back(" Transaction id is not this round's: counted, not reported as an answer");
    if (message.has_preference) lines.push_back(" Preference " + std::to_string(message.preference));
    for (const Dhcpv6IdentityAssociation& ia : message.ia_na) {
        for (const Dhcpv6IaAddress& address : ia.addresses)
            lines.push_back(" Address " + ipv6_text(address.address) + " preferred " +
                            seconds_text(address.preferred_lifetime) + " valid " +
                            seconds_text(address.valid_lifetime));
        for (const Dhcpv6Status& status : ia.statuses) lines.push_back(" IA_NA status " + status_text(status));
    }
    for (const Dhcpv6IdentityAssociation& ia : message.ia_pd) {
        for (const Dhcpv6IaPrefix& prefix : ia.prefixes)
            lines.push_back(" Prefix " + ipv6_text(prefix.prefix) + "/" + std::to_string(prefix.prefix_length) +
                            " preferred " + seconds_text(prefix.preferred_lifetime) + " valid " +
                            seconds_text(prefix.valid_lifetime));
        for (const Dhcpv6Status& status : ia.statuses) lines.push_back(" IA_PD status " + status_text(status));
    }
    for (const Ipv6Address& server : message.dns_servers) lines.push_back(" DNS " + ipv6_text(server));
    for (const std::string& domain : message.domains) lines.push_back(" Domain " + terminal_text(domain));
    for (const Dhcpv6Status& status : message.statuses) lines.push_back(" Status " + status_text(status));
    for (const Dhcpv6Fault& fault : message.faults)
        lines.push_back(std::string(" Fault ") + dhcpv6_problem_text(fault.problem) + " at offset " +
                        std::to_string(fault.offset));
    const std::vector<std::string> flags = dhcpv6_flags(record, expectations);
    if (!flags.empty()) lines.push_back(" Flags " + joined(flags, " "));
    return lines;
}

std::vector<std::string> router_block_lines(const RouterRecord& record, bool expectations)
{
    const RouterAdvert& advert = record.advert;
    std::vector<std::string> lines{
        std::string(router_advert_valid(advert) ? "Router advertisement" : "Invalid router advertisement") + " from " +
        ipv6_text(record.source) + (record.interface.empty() ? "" : " on " + terminal_text(record.interface))};
    if (advert.has_source_link_layer)
        lines.push_back(" Ethernet " + hardware_address_text(advert.source_link_layer) +
                        (record.vendor.empty() ? "" : " (" + terminal_text(record.vendor) + ")"));
    if (advert.has_header) {
        std::string flags = std::string(advert.managed ? " M" : "") + (advert.other ? " O" : "");
        lines.push_back(" Router lifetime " + std::to_string(advert.router_lifetime) + " s, preference " +
                        router_preference_text(advert.preference) + ", flags" + (flags.empty() ? " none" : flags));
    }
    for (const RaPrefix& prefix : advert.prefixes)
        lines.push_back(" Prefix " + ipv6_text(prefix.prefix) + "/" + std::to_string(prefix.prefix_length) +
                        (prefix.on_link ? " L" : "") + (prefix.autonomous ? " A" : "") + " valid " +
                        seconds_text(prefix.valid_lifetime) + " preferred " + seconds_text(prefix.preferred_lifetime));
    for (const RaRdnss& rdnss : advert.rdnss)
        for (const Ipv6Address& server : rdnss.servers)
            lines.push_back(" RDNSS " + ipv6_text(server) + " lifetime " + seconds_text(rdnss.lifetime));
    for (const RaDnssl& dnssl : advert.dnssl)
        for (const std::string& domain : dnssl.domains)
            lines.push_back(" DNSSL " + terminal_text(domain) + " lifetime " + seconds_text(dnssl.lifetime));
    if (advert.has_mtu) lines.push_back(" MTU " + std::to_string(advert.mtu));
    for (const RaInvalid reason : advert.invalid) lines.push_back(std::string(" Invalid: ") + ra_invalid_text(reason));
    const std::vector<std::string> flags = router_flags(record, expectations);
    if (!flags.empty()) lines.push_back(" Flags " + joined(flags, " "));
    return lines;
}

std::vector<std::string> ipv6_summary_lines(const Ipv6Tally& tally, const Ipv6Verdict& verdict,
                                            const Ipv6Expectations& expected)
{
    std::vector<std::string> lines;
    const bool servers_named = expects_servers(expected);
    const bool routers_named = expects_routers(expected);
    for (const Dhcpv6Server& server : tally.servers)
        lines.push_back("DHCPv6 server " + dhcpv6_server_name(server) +
                        (servers_named ? (server.expected ? " expected" : " unexpected") : "") + ": " +
                        counted(server.answers, "answer", "answers") + " (" + std::to_string(server.advertises) +
                        " ADVERTISE, " + std::to_string(server.replies) + " REPLY) in " +
                        counted(server.rounds, "round", "rounds") + " from " + ipv6_text(server.source) +
                        (server.interface.empty() ? "" : " on " + terminal_text(server.interface)) +
                        (server.has_preference ? ", preference " + std::to_string(server.preference) : ""));
    for (const Router& router : tally.routers)
        lines.push_back("Router " + ipv6_text(router.source) +
                        (router.has_ethernet ? " Ethernet " + hardware_address_text(router.ethernet) : "") +
                        (router.vendor.empty() ? "" : " (" + terminal_text(router.vendor) + ")") +
                        (routers_named ? (router.expected ? " expected" : " unexpected") : "") + ": " +
                        counted(router.adverts, "advertisement", "advertisements") + ", lifetime " +
                        std::to_string(router.lifetime) + " s, preference " +
                        router_preference_text(router.preference) + (router.managed ? ", M" : "") +
                        (router.other ? ", O" : "") +
                        (router.interface.empty() ? "" : " on " + terminal_text(router.interface)));
    for (const std::string& name : verdict.silent_servers) lines.push_back("DHCPv6 server " + name + " silent");
    for (const std::string& name : verdict.silent_routers) lines.push_back("Router " + name + " silent");
    if (tally.other_vlan > 0)
        lines.push_back("IPv6: " + counted(tally.other_vlan, "frame", "frames") +
                        " tagged for a VLAN, another link: not counted");
    if (tally.foreign > 0 || tally.not_answer > 0 || tally.invalid_adverts > 0 || tally.over_limit > 0 ||
        tally.kernel_drops > 0)
        lines.push_back("IPv6: " + counted(tally.foreign, "answer", "answers") +
                        " with another transaction id or client, " +
                        counted(tally.not_answer, "other datagram", "other datagrams") + " on port 546, " +
                        counted(tally.invalid_adverts, "invalid advertisement", "invalid advertisements") + ", " +
                        std::to_string(tally.over_limit) + " over the limit" +
                        (tally.kernel_drops > 0 ? "; " + std::to_string(tally.kernel_drops) + " dropped by the kernel"
                                                : std::string()));
    return lines;
}

std::string ipv6_verdict_text(const Ipv6Verdict& verdict, const Ipv6Expectations& expected)
{
    if (verdict.status == 2) {
        if (verdict.nothing_answered) return "nothing answered over IPv6";
        std::vector<std::string> findings;
        if (verdict.over_limit > 0)
            findings.push_back("more than " + std::to_string(kMaxIpv6Servers) + " servers or routers answered");
        if (!verdict.unexpected_servers.empty())
            findings.push_back("unexpected DHCPv6 server answered: " + joined(verdict.unexpected_servers));
        if (!verdict.unexpected_routers.empty())
            findings.push_back("unexpected router advertised: " + joined(verdict.unexpected_routers));
        if (!verdict.silent_servers.empty())
            findings.push_back("expected DHCPv6 server silent: " + joined(verdict.silent_servers));
        if (!verdict.silent_routers.empty())
            findings.push_back("expected router silent: " + joined(verdict.silent_routers));
        return joined(findings, "; ");
    }
    std::string text;
    if (verdict.ended_early)
        text = "every expected server and router answered; others answering later were not waited for (--quick)";
    else if (expects_servers(expected) || expects_routers(expected))
        text = "every answer and advertisement came from an expected server or router";
    else
        text = "something answered; no DHCPv6 server or router was named";
    if (verdict.status == 1 && verdict.invalid_adverts > 0)
        text +=
            "; " + counted(verdict.invalid_adverts, "invalid router advertisement", "invalid router advertisements");
    if (verdict.status == 1 && verdict.kernel_drops > 0) text += "; " + drops_text(verdict.kernel_drops);
    return text;
}

std::string dhcpv6_json(const Dhcpv6Record& record, bool expectations)
{
    const Dhcpv6Message& message = record.message;
    Json ia_na = Json::array();
    for (const Dhcpv6IdentityAssociation& ia : message.ia_na) {
        Json addresses = Json::array();
        for (const Dhcpv6IaAddress& address : ia.addresses)
            addresses.push_back({{"address", ipv6_text(address.address)},
                                 {"preferred_lifetime", address.preferred_lifetime},
                                 {"valid_lifetime", address.valid_lifetime},
                                 {"statuses", statuses_json(address.statuses)}});
        ia_na.push_back({{"iaid", ia.iaid},
                         {"t1", ia.t1},
                         {"t2", ia.t2},
                         {"addresses", addresses},
                         {"statuses", statuses_json(ia.statuses)}});
    }
    Json ia_pd = Json::array();
    for (const Dhcpv6IdentityAssociation& ia : message.ia_pd) {
        Json prefixes = Json::array();
        for (const Dhcpv6IaPrefix& prefix : ia.prefixes)
            prefixes.push_back({{"prefix", ipv6_text(prefix.prefix) + "/" + std::to_string(prefix.prefix_length)},
                                {"preferred_lifetime", prefix.preferred_lifetime},
                                {"valid_lifetime", prefix.valid_lifetime},
                                {"statuses", statuses_json(prefix.statuses)}});
        ia_pd.push_back({{"iaid", ia.iaid},
                         {"t1", ia.t1},
                         {"t2", ia.t2},
                         {"prefixes", prefixes},
                         {"statuses", statuses_json(ia.statuses)}});
    }
    Json faults = Json::array();
    for (const Dhcpv6Fault& fault : message.faults)
        faults.push_back({{"problem", dhcpv6_problem_text(fault.problem)}, {"offset", fault.offset}});
    char transaction[8];
    std::snprintf(transaction, sizeof transaction, "%02x%02x%02x", message.transaction_id[0], message.transaction_id[1],
                  message.transaction_id[2]);
    Json object{
        {"type", "dhcpv6_reply"},
        {"time_elapsed", record.elapsed},
        {"round", record.round},
        {"interface", record.interface.empty() ? Json(nullptr) : Json(record.interface)},
        {"source", {{"address", ipv6_text(record.source)}, {"port", record.port}}},
        {"length", record.length},
        {"message_type", message.has_header ? Json(dhcpv6_message_type_name(message.message_type)) : Json(nullptr)},
        {"transaction_id", transaction},
        {"answers", record.answers},
        {"expected", record.answers && expectations ? Json(record.expected) : Json(nullptr)},
        {"server_duid", message.has_server_id ? duid_json(message.server_id) : Json(nullptr)},
        {"preference", message.has_preference ? Json(message.preference) : Json(nullptr)},
        {"ia_na", ia_na},
        {"ia_pd", ia_pd},
        {"dns_servers", addresses_json(message.dns_servers)},
        {"domains", strings_json(message.domains)},
        {"statuses", statuses_json(message.statuses)},
        {"rapid_commit", message.rapid_commit},
        {"faults", faults},
        {"flags", flags_json(dhcpv6_flags(record, expectations))}};
    return line_of(object);
}

std::string router_json(const RouterRecord& record, bool expectations)
{
    const RouterAdvert& advert = record.advert;
    Json prefixes = Json::array();
    for (const RaPrefix& prefix : advert.prefixes)
        prefixes.push_back({{"prefix", ipv6_text(prefix.prefix) + "/" + std::to_string(prefix.prefix_length)},
                            {"on_link", prefix.on_link},
                            {"autonomous", prefix.autonomous},
                            {"valid_lifetime", prefix.valid_lifetime},
                            {"preferred_lifetime", prefix.preferred_lifetime}});
    Json rdnss = Json::array();
    for (const RaRdnss& item : advert.rdnss)
        rdnss.push_back({{"servers", addresses_json(item.servers)}, {"lifetime", item.lifetime}});
    Json dnssl = Json::array();
    for (const RaDnssl& item : advert.dnssl)
        dnssl.push_back({{"domains", strings_json(item.domains)}, {"lifetime", item.lifetime}});
    Json invalid = Json::array();
    for (const RaInvalid reason : advert.invalid) invalid.push_back(ra_invalid_text(reason));
    const bool valid = router_advert_valid(advert);
    Json object{{"type", "router_advert"},
                {"time_elapsed", record.elapsed},
                {"round", record.round},
                {"interface", record.interface.empty() ? Json(nullptr) : Json(record.interface)},
                {"source", ipv6_text(record.source)},
                {"ethernet",
                 advert.has_source_link_layer ? Json(hardware_address_text(advert.source_link_layer)) : Json(nullptr)},
                {"vendor", record.vendor.empty() ? Json(nullptr) : Json(record.vendor)},
                {"valid", valid},
                {"invalid_reasons", invalid},
                {"expected", valid && expectations ? Json(record.expected) : Json(nullptr)},
                {"router_lifetime", advert.router_lifetime},
                {"preference", router_preference_text(advert.preference)},
                {"managed", advert.managed},
                {"other", advert.other},
                {"prefixes", prefixes},
                {"rdnss", rdnss},
                {"dnssl", dnssl},
                {"mtu", advert.has_mtu ? Json(advert.mtu) : Json(nullptr)},
                {"flags", flags_json(router_flags(record, expectations))}};
    return line_of(object);
}

std::string ipv6_summary_json(const Ipv6Tally& tally, const Ipv6Verdict& verdict, const Ipv6Expectations& expected)
{
    Json servers = Json::array();
    for (const Dhcpv6Server& server : tally.servers)
        servers.push_back({{"name", dhcpv6_server_name(server)},
                           {"duid", server.by_duid ? Json(duid_hex_text(server.duid)) : Json(nullptr)},
                           {"source", ipv6_text(server.source)},
                           {"interface", server.interface},
                           {"expected", expects_servers(expected) ? Json(server.expected) : Json(nullptr)},
                           {"answers", server.answers},
                           {"advertises", server.advertises},
                           {"replies", server.replies},
                           {"rounds", server.rounds}});
    Json routers = Json::array();
    for (const Router& router : tally.routers)
        routers.push_back(
            {{"source", ipv6_text(router.source)},
             {"ethernet", router.has_ethernet ? Json(hardware_address_text(router.ethernet)) : Json(nullptr)},
             {"interface", router.interface},
             {"expected", expects_routers(expected) ? Json(router.expected) : Json(nullptr)},
             {"advertisements", router.adverts},
             {"rounds", router.rounds},
             {"router_lifetime", router.lifetime},
             {"preference", router_preference_text(router.preference)}});
    Json object{{"datagrams", tally.datagrams},
                {"answers", tally.answers},
                {"foreign_transaction", tally.foreign},
                {"not_answer", tally.not_answer},
                {"advertisements", tally.adverts},
                {"invalid_advertisements", tally.invalid_adverts},
                {"over_limit", tally.over_limit},
                {"other_vlan", tally.other_vlan},
                {"kernel_drops", tally.kernel_drops >= 0 ? Json(tally.kernel_drops) : Json(nullptr)},
                {"servers", servers},
                {"routers", routers},
                {"verdict",
                 {{"status", verdict.status},
                  {"text", ipv6_verdict_text(verdict, expected)},
                  {"nothing_answered", verdict.nothing_answered},
                  {"kernel_drops", verdict.kernel_drops},
                  {"unexpected_servers", strings_json(verdict.unexpected_servers)},
                  {"silent_servers", strings_json(verdict.silent_servers)},
                  {"unexpected_routers", strings_json(verdict.unexpected_routers)},
                  {"silent_routers", strings_json(verdict.silent_routers)}}}};
    return line_of(object);
}

std::string merge_ipv6_summary(const std::string& summary_line, const std::string& ipv6_object, int status, bool ipv4)
{
    Json object = Json::parse(summary_line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) return summary_line;
    if (object.contains("verdict") && object["verdict"].is_object()) {
        object["verdict"]["ipv4_status"] = ipv4 ? object["verdict"]["status"] : Json(nullptr);
        object["verdict"]["status"] = status;
    }
    object["ipv6"] = Json::parse(ipv6_object, nullptr, false);
    return line_of(object);
}

std::string nagios_ipv6_status_line(int status, const std::string& verdict_line, const Ipv6Tally& tally,
                                    const Ipv6Verdict& verdict, double verdict_seconds)
{
    const std::size_t colon = verdict_line.find(": ");
    const std::string text = colon == std::string::npos ? verdict_line : verdict_line.substr(colon + 2);
    const auto perf = [](const char* label, std::size_t value) {
        return std::string(label) + "=" + std::to_string(value) + ";;;;";
    };
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3fs", verdict_seconds);
    return std::string("DHCP ") + plugin_status_word(status) + " - " + text + " | " +
           perf("servers6", tally.servers.size()) + " " + perf("routers6", tally.routers.size()) + " " +
           perf("unexpected6", verdict.unexpected_servers.size() + verdict.unexpected_routers.size()) + " " +
           perf("missing6", verdict.silent_servers.size() + verdict.silent_routers.size()) + " " +
           perf("invalid_ra", static_cast<std::size_t>(tally.invalid_adverts)) + " " +
           perf("foreign6", static_cast<std::size_t>(tally.foreign)) + " verdict=" + seconds + ";;;;";
}
