// The probe's JSON Lines, written with nlohmann-json.
#include "cli/json_report.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

#include "cli/text_report.h"
#include "net/network.h"
#include "protocol/option_values.h"

namespace {

using Json = nlohmann::ordered_json;

Json address_or_null(const Ipv4Address& address)
{
    return is_zero_address(address) ? Json(nullptr) : Json(address_text(address));
}

Json option_json(const OptionValue& value)
{
    switch (value.form) {
        case ValueForm::hex:
        case ValueForm::text: return value.text;
        case ValueForm::address: return address_text(value.addresses[0]);
        case ValueForm::addresses: {
            Json list = Json::array();
            for (const Ipv4Address& address : value.addresses) list.push_back(address_text(address));
            return list;
        }
        case ValueForm::address_pairs: {
            Json list = Json::array();
            for (std::size_t k = 0; k + 1 < value.addresses.size(); k += 2)
                list.push_back(Json::array({address_text(value.addresses[k]), address_text(value.addresses[k + 1])}));
            return list;
        }
        case ValueForm::number: return value.numbers[0];
        case ValueForm::numbers: return Json(value.numbers);
        case ValueForm::flag: return value.flag;
        case ValueForm::message_type: return value.text.empty() ? Json(value.numbers[0]) : Json(value.text);
        case ValueForm::routes: {
            Json routes = Json::array();
            for (const ClasslessRoute& route : value.routes)
                routes.push_back(
                    Json{{"destination", address_text(route.destination) + "/" + std::to_string(route.prefix_length)},
                         {"router", address_text(route.router)}});
            return routes;
        }
        case ValueForm::present: return true;
        case ValueForm::parts: {
            Json values = Json::array();
            for (const OptionValue& part : value.parts) values.push_back(option_json(part));
            return values;
        }
    }
    return value.text;
}

Json options_object(const OptionWalk& walk)
{
    Json options = Json::object();
    for (const DhcpOption& option : walk.options) {
        const char* name = option_info(option.code).name;
        options[name != nullptr ? std::string(name) : "option_" + std::to_string(option.code)] =
            option_json(read_option_value(option));
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
                {"offer_in_relay_network", relay_network},
                {"not_dhcp", flags.not_dhcp},
                {"over_limit", flags.over_limit},
                {"ethernet_changed", flags.ethernet_changed}};
}

// A VLAN as a number; null for the untagged LAN.
Json vlan_value(std::uint16_t vlan)
{
    return vlan == kUntaggedLan ? Json(nullptr) : Json(vlan);
}

// Who sent a captured frame; null when the reply came through a socket, which does not tell.
Json ethernet_object(bool captured, const HardwareAddress& ethernet, const std::string& vendor)
{
    if (!captured) return nullptr;
    const bool local = (ethernet[0] & 0x02) != 0;
    return Json{{"address", hardware_address_text(ethernet)},
                {"vendor", local || vendor.empty() ? Json(nullptr) : field_text(vendor)},
                {"locally_administered", local}};
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
                                 {"source", address_text(path.source)},
                                 {"ethernet", ethernet_object(path.captured, path.ethernet, path.vendor)}});
        servers.push_back(Json{{"server", address_text(server.key)},
                               {"vlan", vlan_value(server.vlan)},
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

Json expected_array(const std::vector<ExpectedServer>& servers, bool vlans)
{
    Json list = Json::array();
    for (const ExpectedServer& server : servers) list.push_back(expected_text(server, vlans));
    return list;
}

Json concerns_array(const std::vector<ServerConcern>& concerns, bool vlans)
{
    Json list = Json::array();
    for (const ServerConcern& concern : concerns) {
        const std::string server = vlans ? lan_text(concern.server.vlan) + "/" + address_text(concern.server.address)
                                         : address_text(concern.server.address);
        list.push_back(Json{{"server", server}, {"flags", concern_words(concern.concerns)}});
    }
    return list;
}

Json verdict_object(const Verdict& verdict, bool expectations)
{
    Json unexpected = Json::array();
    for (const LanAddress& server : verdict.unexpected)
        unexpected.push_back(verdict.vlans ? lan_text(server.vlan) + "/" + address_text(server.address)
                                           : address_text(server.address));
    Json object{{"status", verdict.status},
                {"text", verdict_text(verdict, expectations)},
                {"unexpected", unexpected},
                {"silent", expected_array(verdict.silent, verdict.vlans)},
                {"concerns", concerns_array(verdict.concerns, verdict.vlans)},
                {"over_limit", verdict.over_limit},
                {"kernel_drops", verdict.kernel_drops},
                // --quick: servers that would have answered after the expected ones were not waited for.
                {"waited_for_late_servers", !verdict.ended_early}};
    if (verdict.vlans) {
        Json silent_vlans = Json::array();
        for (const std::uint16_t lan : verdict.silent_lans) silent_vlans.push_back(vlan_value(lan));
        object["silent_vlans"] = silent_vlans;
    }
    return object;
}

// --vlan: each VLAN's own verdict, judged alone; null without --vlan.
Json vlans_array(const Tally& tally, const std::vector<ExpectedServer>& expected,
                 const std::vector<std::uint16_t>& lans)
{
    if (lans == std::vector<std::uint16_t>{kUntaggedLan}) return nullptr;
    Json list = Json::array();
    for (const std::uint16_t lan : lans) {
        Verdict verdict = judge_tally(tally, expected, {lan});
        verdict.vlans = true;
        list.push_back(Json{{"vlan", vlan_value(lan)}, {"verdict", verdict_object(verdict, !expected.empty())}});
    }
    return list;
}

// --capture: the frames that were no reply, by outcome, the requests and replies of others; null without it.
Json frames_object(const IntakeRecord& intake)
{
    if (!intake.captured) return nullptr;
    Json frames = Json::object();
    for (std::size_t k = 1; k < kFrameOutcomeCount; ++k)
        frames[std::string(frame_outcome_name(static_cast<FrameOutcome>(k)))] = intake.frames.by_outcome[k];
    frames["ip-options"] = intake.frames.ip_options;
    frames["requests-seen"] = intake.requests_seen;
    for (std::size_t k = 1; k < kNotOursCount; ++k)
        frames[std::string(not_ours_name(static_cast<NotOurs>(k)))] = intake.not_ours[k];
    return frames;
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
    return Json{{"ports_bound", !facts.captured},
                {"captured", facts.captured},
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

std::string reply_json(const ReplyRecord& reply, const ReplyFlags& flags, const std::vector<ExpectedServer>& expected)
{
    const ReplyFields& fields = reply.fields;
    const bool expectations = !expected.empty();
    Json object{{"type", "reply"},
                {"time", utc_time_text(reply.unix_ms)},
                {"elapsed", milliseconds_rounded(reply.elapsed)},
                {"round", reply.round},
                {"interface", reply.interface.empty() ? Json(nullptr) : Json(reply.interface)},
                {"source", Json{{"address", address_text(reply.source.address)}, {"port", reply.source.port}}},
                {"vlan", vlan_value(reply.vlan)},
                {"ethernet", ethernet_object(reply.captured, reply.ethernet, reply.vendor)},
                {"length", reply.datagram_length >= 0 ? Json(reply.datagram_length) : Json(nullptr)},
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

std::string round_json(int round, std::int64_t unix_ms, const Tally& tally, const Verdict* verdict,
                       const std::vector<ExpectedServer>& expected, const std::vector<std::uint16_t>& lans)
{
    const bool expectations = !expected.empty();
    Json object{{"type", "round"},
                {"round", round},
                {"time", utc_time_text(unix_ms)},
                {"replies", tally.replies},
                {"not_dhcp", tally.not_dhcp},
                {"servers", servers_array(tally, expectations)},
                {"cut_short", verdict == nullptr}};
    if (verdict != nullptr) {
        object["verdict"] = verdict_object(*verdict, expectations);
        object["vlans"] = vlans_array(tally, expected, lans);
    }
    return line_of(object);
}

std::string summary_json(std::int64_t unix_ms, double elapsed, const SendRecord& sends, const IntakeRecord& intake,
                         int rounds, const Tally& tally, const Verdict& verdict,
                         const std::vector<ExpectedServer>& expected, const NoReplyFacts* facts,
                         const std::vector<std::uint16_t>& lans)
{
    const bool expectations = !expected.empty();
    Json object{{"type", "summary"},
                {"time", utc_time_text(unix_ms)},
                {"elapsed", milliseconds_rounded(elapsed)},
                {"requests_sent", sends.sent},
                {"requests_failed", sends.failed},
                {"rounds", rounds},
                {"replies", tally.replies},
                {"not_dhcp", tally.not_dhcp},
                {"replies_not_logged", intake.log_on ? Json(intake.not_logged) : Json(nullptr)},
                {"kernel_drops", intake.kernel_drops >= 0 ? Json(intake.kernel_drops) : Json(nullptr)},
                {"frames", frames_object(intake)},
                {"expected", expected_array(expected, verdict.vlans)},
                {"servers", servers_array(tally, expectations)},
                {"verdict", verdict_object(verdict, expectations)},
                {"vlans", vlans_array(tally, expected, lans)},
                {"diagnostics", facts != nullptr ? diagnostics_object(*facts) : Json(nullptr)}};
    return line_of(object);
}

std::string unknown_verdict_json(const std::string& summary_line, const std::string& reason)
{
    Json object = Json::parse(summary_line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) return summary_line;
    if (!object.contains("verdict") || !object["verdict"].is_object()) object["verdict"] = Json::object();
    object["verdict"]["status"] = kExitUnknown;
    object["verdict"]["text"] = reason;
    return line_of(object);
}
