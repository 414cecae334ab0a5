// The probe's JSON Lines, written with nlohmann-json.
#include "cli/json_report.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

#include "cli/text_report.h"
#include "discovery/network.h"

namespace {

using Json = nlohmann::ordered_json;

std::string hex_text(const std::uint8_t* data, std::size_t length, const char* separator = "")
{
    std::string text;
    char pair[3];
    for (std::size_t k = 0; k < length; ++k) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(data[k]));
        if (k > 0) text += separator;
        text += pair;
    }
    return text;
}

Json address_or_null(const Ipv4Address& address)
{
    return is_zero_address(address) ? Json(nullptr) : Json(address_text(address));
}

Ipv4Address address_at(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return {d[at], d[at + 1], d[at + 2], d[at + 3]};
}

std::uint32_t u32_at(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return static_cast<std::uint32_t>(d[at]) << 24 | static_cast<std::uint32_t>(d[at + 1]) << 16 |
           static_cast<std::uint32_t>(d[at + 2]) << 8 | d[at + 3];
}

Json classless_routes(const std::vector<std::uint8_t>& d)
{
    Json routes = Json::array();
    std::size_t at = 0;
    while (at < d.size()) {
        const int width = d[at];
        const std::size_t significant = (static_cast<std::size_t>(width) + 7) / 8;
        Ipv4Address destination{};
        // routes_fit has kept the width within 32; the bound says so where GCC 12 at -O3 can see it.
        for (std::size_t k = 0; k < significant && k < destination.size(); ++k) destination[k] = d[at + 1 + k];
        const Ipv4Address router = address_at(d, at + 1 + significant);
        routes.push_back(Json{{"destination", address_text(destination) + "/" + std::to_string(width)},
                              {"router", address_text(router)}});
        at += 1 + significant + 4;
    }
    return routes;
}

Json option_value(const DhcpOption& option);

// A repeated option whose joined value does not suit its kind, though each occurrence does: one value
// per occurrence. Otherwise null.
Json repeated_values(const DhcpOption& option)
{
    if (option.part_lengths.size() < 2) return nullptr;
    Json values = Json::array();
    for (std::size_t k = 0; k < option.part_lengths.size(); ++k) {
        const DhcpOption part = option_part(option, k);
        if (!option_value_fits(part)) return nullptr;
        values.push_back(option_value(part));
    }
    return values;
}

// The value of one option by its kind; a value that does not suit its kind is given in hex.
Json option_value(const DhcpOption& option)
{
    const std::vector<std::uint8_t>& d = option.data;
    if (!option_value_fits(option)) {
        Json repeated = repeated_values(option);
        return repeated.is_null() ? Json(hex_text(d.data(), d.size())) : repeated;
    }
    switch (option_info(option.code).kind) {
        case OptionKind::hex: return hex_text(d.data(), d.size());
        case OptionKind::address: return address_text(address_at(d, 0));
        case OptionKind::addresses: {
            Json list = Json::array();
            for (std::size_t at = 0; at < d.size(); at += 4) list.push_back(address_text(address_at(d, at)));
            return list;
        }
        case OptionKind::address_pairs: {
            Json list = Json::array();
            for (std::size_t at = 0; at < d.size(); at += 8)
                list.push_back(Json::array({address_text(address_at(d, at)), address_text(address_at(d, at + 4))}));
            return list;
        }
        case OptionKind::u8: return d[0];
        case OptionKind::u16: return (d[0] << 8) | d[1];
        case OptionKind::u32: return u32_at(d, 0);
        case OptionKind::i32: return static_cast<std::int32_t>(u32_at(d, 0));
        case OptionKind::u16_list: {
            Json list = Json::array();
            for (std::size_t at = 0; at < d.size(); at += 2) list.push_back((d[at] << 8) | d[at + 1]);
            return list;
        }
        case OptionKind::boolean: return d[0] == 1;
        case OptionKind::text: {
            std::size_t length = d.size();
            while (length > 0 && d[length - 1] == 0) --length;
            return std::string(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(length));
        }
        case OptionKind::message_type: {
            const char* name = message_type_name(d[0]);
            return name != nullptr ? Json(name) : Json(d[0]);
        }
        case OptionKind::code_list: return Json(d);
        case OptionKind::classless_routes: return classless_routes(d);
        case OptionKind::empty: return true;
    }
    return hex_text(d.data(), d.size());
}

Json options_object(const OptionWalk& walk)
{
    Json options = Json::object();
    for (const DhcpOption& option : walk.options) {
        const char* name = option_info(option.code).name;
        options[name != nullptr ? std::string(name) : "option_" + std::to_string(option.code)] = option_value(option);
    }
    return options;
}

// Printable ASCII as it is; anything else in hex, so the JSON stays valid whatever the bytes were.
Json field_text(const std::string& text)
{
    for (const char c : text)
        if (c < 0x20 || c > 0x7E) return hex_text(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return text;
}

Json bootp_object(const ReplyFields& fields)
{
    if (!fields.has_header) return nullptr;
    const std::size_t hardware_length = fields.hardware_length <= 16 ? fields.hardware_length : 16;
    return Json{{"op", fields.op},
                {"hardware_type", fields.hardware_type},
                {"hops", fields.hops},
                {"transaction_id", hex_text(fields.transaction_id, 4)},
                {"seconds", fields.seconds},
                {"broadcast", (fields.flags & 0x8000) != 0},
                {"client_address", address_text(fields.client_address)},
                {"next_server", address_text(fields.next_server)},
                {"client_hardware_address", hex_text(fields.client_hardware, hardware_length, ":")},
                {"server_name", field_text(fields.server_name)},
                {"boot_file", field_text(fields.boot_file)},
                {"magic_cookie", fields.walk.has_cookie},
                {"options_cut_short", fields.walk.cut_short}};
}

Json flags_object(const ReplyFlags& flags)
{
    Json relay_network = nullptr;
    if (flags.relay_network == RelayNetwork::inside) relay_network = true;
    if (flags.relay_network == RelayNetwork::outside) relay_network = false;
    return Json{{"not_offer", flags.not_offer},
                {"no_server_identifier", flags.no_server_identifier},
                {"identifier_differs_from_source", flags.identifier_differs_from_source},
                {"several_paths", flags.several_paths},
                {"several_servers_on_link", flags.several_servers_on_link},
                {"offer_in_relay_network", relay_network}};
}

Json message_type_value(const ReplyFields& fields)
{
    if (!fields.has_message_type) return nullptr;
    const char* name = message_type_name(fields.message_type);
    return name != nullptr ? Json(name) : Json(fields.message_type);
}

double milliseconds_rounded(double seconds)
{
    return std::round(seconds * 1000.0) / 1000.0;
}

Json servers_array(const Tally& tally, bool expectations)
{
    Json servers = Json::array();
    for (const ServerRecord& server : tally.servers) {
        Json paths = Json::array();
        for (const ServerPath& path : server.paths)
            paths.push_back(Json{{"interface", path.interface.empty() ? Json(nullptr) : Json(path.interface)},
                                 {"relay", address_or_null(path.relay)},
                                 {"source", address_text(path.source)}});
        servers.push_back(Json{{"server", address_text(server.key)},
                               {"by", server.identified ? "server_identifier" : "source_address"},
                               {"expected", expectations ? Json(server.unexpected_replies == 0) : Json(nullptr)},
                               {"replies", server.replies},
                               {"offers", server.offers},
                               {"rounds", server.rounds},
                               {"first_seen", utc_time_text(server.first_unix_ms)},
                               {"last_seen", utc_time_text(server.last_unix_ms)},
                               {"paths", paths}});
    }
    return servers;
}

Json addresses_array(const std::vector<Ipv4Address>& addresses)
{
    Json list = Json::array();
    for (const Ipv4Address& address : addresses) list.push_back(address_text(address));
    return list;
}

Json verdict_object(const Verdict& verdict, bool expectations)
{
    return Json{{"status", verdict.status},
                {"text", verdict_text(verdict, expectations)},
                {"unexpected", addresses_array(verdict.unexpected)},
                {"silent", addresses_array(verdict.silent)}};
}

Json diagnostics_object(const NoReplyFacts& facts)
{
    Json routes = Json::array();
    for (const RouteFinding& finding : facts.routes)
        routes.push_back(
            Json{{"device", finding.device.empty() ? Json(nullptr) : Json(finding.device)},
                 {"found", finding.route.found},
                 {"source", finding.route.found ? Json(address_text(finding.route.source)) : Json(nullptr)},
                 {"interface", finding.leaves_via.empty() ? Json(nullptr) : Json(finding.leaves_via)},
                 {"error", finding.route.found ? Json(nullptr) : Json(network_error_text(finding.route.error_code))}});
    Json addresses = nullptr;
    if (facts.interfaces_known) {
        addresses = Json::array();
        for (const auto& [name, address] : facts.addresses)
            addresses.push_back(Json{{"interface", name},
                                     {"address", address_text(address.address)},
                                     {"prefix_length", address.prefix_length}});
    }
    Json others = nullptr;
    if (facts.port68_sockets >= 0) others = std::max(0, facts.port68_sockets - facts.port68_ours);
    Json bound_on = nullptr;
    if (!facts.bound_on.empty()) bound_on = facts.bound_on;
    return Json{{"ports_bound", true},
                {"ports_bound_on", bound_on},
                {"requests_sent", facts.requests_sent},
                {"requests_failed", facts.requests_failed},
                {"send_error", facts.requests_failed > 0 ? Json(network_error_text(facts.send_error)) : Json(nullptr)},
                {"broadcast_routes", routes},
                {"ipv4_addresses", addresses},
                {"port_68_other_sockets", others}};
}

std::string line_of(const Json& object)
{
    // Invalid UTF-8 cannot reach here (text is checked above), but a dump must never throw.
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string reply_json(const ReplyRecord& reply, const ReplyFlags& flags, const std::vector<Ipv4Address>& expected)
{
    const ReplyFields& fields = reply.fields;
    const bool expectations = !expected.empty();
    Json object{{"type", "reply"},
                {"time", utc_time_text(reply.unix_ms)},
                {"elapsed", milliseconds_rounded(reply.elapsed)},
                {"round", reply.round},
                {"interface", reply.interface.empty() ? Json(nullptr) : Json(reply.interface)},
                {"source", Json{{"address", address_text(reply.source.address)}, {"port", reply.source.port}}},
                {"length", reply.length},
                {"truncated", reply.truncated},
                {"server_identifier",
                 fields.has_server_identifier ? Json(address_text(fields.server_identifier)) : Json(nullptr)},
                {"relay", fields.has_header ? address_or_null(fields.relay_address) : Json(nullptr)},
                {"offered_address", fields.has_header ? address_or_null(fields.offered_address) : Json(nullptr)},
                {"message_type", message_type_value(fields)},
                {"expected", expectations ? Json(reply_is_expected(expected, reply)) : Json(nullptr)},
                {"flags", flags_object(flags)},
                {"bootp", bootp_object(fields)},
                {"options", options_object(fields.walk)}};
    return line_of(object);
}

std::string round_json(int round, std::int64_t unix_ms, const Tally& tally, const Verdict& verdict,
                       const std::vector<Ipv4Address>& expected)
{
    const bool expectations = !expected.empty();
    Json object{{"type", "round"},
                {"round", round},
                {"time", utc_time_text(unix_ms)},
                {"replies", tally.replies},
                {"servers", servers_array(tally, expectations)},
                {"verdict", verdict_object(verdict, expectations)}};
    return line_of(object);
}

std::string summary_json(std::int64_t unix_ms, double elapsed, const SendRecord& sends, int rounds, const Tally& tally,
                         const Verdict& verdict, const std::vector<Ipv4Address>& expected, const NoReplyFacts* facts)
{
    const bool expectations = !expected.empty();
    Json object{{"type", "summary"},
                {"time", utc_time_text(unix_ms)},
                {"elapsed", milliseconds_rounded(elapsed)},
                {"requests_sent", sends.sent},
                {"requests_failed", sends.failed},
                {"rounds", rounds},
                {"replies", tally.replies},
                {"expected", addresses_array(expected)},
                {"servers", servers_array(tally, expectations)},
                {"verdict", verdict_object(verdict, expectations)},
                {"diagnostics", facts != nullptr ? diagnostics_object(*facts) : Json(nullptr)}};
    return line_of(object);
}
