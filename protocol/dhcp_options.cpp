// Every option of a DHCP reply: the standard walk (pad, end, overload) and the table of names and kinds.
#include "protocol/dhcp_options.h"

#include <algorithm>

namespace {

struct OptionRow {
    std::uint8_t code;
    const char* name;
    OptionKind kind;
};

using K = OptionKind;

// RFC 2132 and the later options servers commonly send; names as JSON keys.
constexpr OptionRow kOptionRows[] = {
    {1, "subnet_mask", K::address},
    {2, "time_offset", K::i32},
    {3, "router", K::addresses},
    {4, "time_server", K::addresses},
    {5, "name_server", K::addresses},
    {6, "domain_name_server", K::addresses},
    {7, "log_server", K::addresses},
    {8, "cookie_server", K::addresses},
    {9, "lpr_server", K::addresses},
    {10, "impress_server", K::addresses},
    {11, "resource_location_server", K::addresses},
    {12, "host_name", K::text},
    {13, "boot_file_size", K::u16},
    {14, "merit_dump_file", K::text},
    {15, "domain_name", K::text},
    {16, "swap_server", K::address},
    {17, "root_path", K::text},
    {18, "extensions_path", K::text},
    {19, "ip_forwarding", K::boolean},
    {20, "non_local_source_routing", K::boolean},
    {21, "policy_filter", K::address_pairs},
    {22, "max_datagram_reassembly_size", K::u16},
    {23, "default_ip_ttl", K::u8},
    {24, "path_mtu_aging_timeout", K::u32},
    {25, "path_mtu_plateau_table", K::u16_list},
    {26, "interface_mtu", K::u16},
    {27, "all_subnets_local", K::boolean},
    {28, "broadcast_address", K::address},
    {29, "perform_mask_discovery", K::boolean},
    {30, "mask_supplier", K::boolean},
    {31, "perform_router_discovery", K::boolean},
    {32, "router_solicitation_address", K::address},
    {33, "static_route", K::address_pairs},
    {34, "trailer_encapsulation", K::boolean},
    {35, "arp_cache_timeout", K::u32},
    {36, "ethernet_encapsulation", K::boolean},
    {37, "tcp_default_ttl", K::u8},
    {38, "tcp_keepalive_interval", K::u32},
    {39, "tcp_keepalive_garbage", K::boolean},
    {40, "nis_domain", K::text},
    {41, "nis_servers", K::addresses},
    {42, "ntp_servers", K::addresses},
    {43, "vendor_specific", K::hex},
    {44, "netbios_name_servers", K::addresses},
    {45, "netbios_dd_servers", K::addresses},
    {46, "netbios_node_type", K::u8},
    {47, "netbios_scope", K::text},
    {48, "x_font_servers", K::addresses},
    {49, "x_display_managers", K::addresses},
    {50, "requested_address", K::address},
    {51, "lease_time", K::u32},
    {52, "overload", K::u8},
    {53, "message_type", K::message_type},
    {54, "server_identifier", K::address},
    {55, "parameter_request_list", K::code_list},
    {56, "message", K::text},
    {57, "max_message_size", K::u16},
    {58, "renewal_time", K::u32},
    {59, "rebinding_time", K::u32},
    {60, "vendor_class_identifier", K::text},
    {61, "client_identifier", K::hex},
    {64, "nisplus_domain", K::text},
    {65, "nisplus_servers", K::addresses},
    {66, "tftp_server_name", K::text},
    {67, "bootfile_name", K::text},
    {68, "mobile_ip_home_agents", K::addresses},
    {69, "smtp_servers", K::addresses},
    {70, "pop3_servers", K::addresses},
    {71, "nntp_servers", K::addresses},
    {72, "www_servers", K::addresses},
    {73, "finger_servers", K::addresses},
    {74, "irc_servers", K::addresses},
    {75, "streettalk_servers", K::addresses},
    {76, "stda_servers", K::addresses},
    {80, "rapid_commit", K::empty},
    {81, "client_fqdn", K::hex},
    {82, "relay_agent_information", K::hex},
    {100, "posix_timezone", K::text},
    {101, "tzdb_timezone", K::text},
    {108, "ipv6_only_preferred", K::u32},
    {114, "captive_portal", K::text},
    {116, "auto_configure", K::boolean},
    {118, "subnet_selection", K::address},
    {119, "domain_search", K::hex},
    {121, "classless_static_route", K::classless_routes},
    {125, "vendor_identifying_vendor_specific", K::hex},
    {150, "tftp_server_addresses", K::addresses},
    {249, "ms_classless_static_route", K::classless_routes},
    {252, "wpad", K::text},
};

constexpr std::size_t kSnameEnd = kServerNameOffset + kServerNameSize;
constexpr std::size_t kFileEnd = kBootFileOffset + kBootFileSize;

void add_option(OptionWalk& walk, std::uint8_t code, const std::uint8_t* data, std::size_t length)
{
    auto found = std::find_if(walk.options.begin(), walk.options.end(),
                              [code](const DhcpOption& option) { return option.code == code; });
    if (found == walk.options.end()) {
        walk.options.push_back(DhcpOption{code, {}, {}});
        found = walk.options.end() - 1;
    }
    found->data.insert(found->data.end(), data, data + length);
    found->part_lengths.push_back(length);
}

// Walks one field [begin, end): pad is one byte, end stops, every other code has a length byte.
void walk_field(const std::uint8_t* data, std::size_t begin, std::size_t end, OptionWalk& walk)
{
    std::size_t at = begin;
    while (at < end) {
        const std::uint8_t code = data[at];
        if (code == kOptionPad) {
            ++at;
            continue;
        }
        if (code == kOptionEnd) return;
        if (end - at < 2) {
            walk.cut_short = true;
            return;
        }
        const std::size_t length = data[at + 1];
        if (end - at - 2 < length) {
            walk.cut_short = true;
            return;
        }
        add_option(walk, code, data + at + 2, length);
        at += 2 + length;
    }
}

bool routes_fit(const std::vector<std::uint8_t>& d)
{
    std::size_t at = 0;
    while (at < d.size()) {
        const std::size_t width = d[at];
        if (width > 32) return false;
        const std::size_t significant = (width + 7) / 8;
        if (d.size() - at < 1 + significant + 4) return false;
        at += 1 + significant + 4;
    }
    return !d.empty();
}

bool text_fits(const std::vector<std::uint8_t>& d)
{
    std::size_t length = d.size();
    while (length > 0 && d[length - 1] == 0) --length;  // some servers end strings with NULs
    if (length == 0) return false;
    return std::all_of(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(length),
                       [](std::uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; });
}

}  // namespace

OptionInfo option_info(std::uint8_t code)
{
    for (const OptionRow& row : kOptionRows)
        if (row.code == code) return {row.name, row.kind};
    return {nullptr, OptionKind::hex};
}

OptionWalk walk_options(const std::uint8_t* data, std::size_t length)
{
    OptionWalk walk;
    if (length < kOptionsOffset) return walk;
    walk.has_cookie = std::equal(kMagicCookie.begin(), kMagicCookie.end(), data + kMagicCookieOffset);
    if (!walk.has_cookie) return walk;
    walk_field(data, kOptionsOffset, length, walk);
    // Only the options field may say that file and sname hold options too; file comes first.
    const DhcpOption* overload = find_option(walk, kOptionOverload);
    if (overload == nullptr || overload->data.size() != 1) return walk;
    const std::uint8_t which = overload->data[0];
    walk.overloaded = which >= 1 && which <= 3;
    if (which == 1 || which == 3) walk_field(data, kBootFileOffset, kFileEnd, walk);
    if (which == 2 || which == 3) walk_field(data, kServerNameOffset, kSnameEnd, walk);
    return walk;
}

DhcpOption option_part(const DhcpOption& option, std::size_t index)
{
    DhcpOption part;
    part.code = option.code;
    std::size_t begin = 0;
    for (std::size_t k = 0; k < index && k < option.part_lengths.size(); ++k) begin += option.part_lengths[k];
    if (index >= option.part_lengths.size()) return part;
    const std::size_t length = option.part_lengths[index];
    part.data.assign(option.data.begin() + static_cast<std::ptrdiff_t>(begin),
                     option.data.begin() + static_cast<std::ptrdiff_t>(begin + length));
    part.part_lengths.push_back(length);
    return part;
}

const DhcpOption* find_option(const OptionWalk& walk, std::uint8_t code)
{
    for (const DhcpOption& option : walk.options)
        if (option.code == code) return &option;
    return nullptr;
}

bool option_value_fits(const DhcpOption& option)
{
    const std::size_t n = option.data.size();
    switch (option_info(option.code).kind) {
        case OptionKind::hex: return true;
        case OptionKind::address: return n == 4;
        case OptionKind::addresses: return n >= 4 && n % 4 == 0;
        case OptionKind::address_pairs: return n >= 8 && n % 8 == 0;
        case OptionKind::u8: return n == 1;
        case OptionKind::u16: return n == 2;
        case OptionKind::u32:
        case OptionKind::i32: return n == 4;
        case OptionKind::u16_list: return n >= 2 && n % 2 == 0;
        case OptionKind::boolean: return n == 1 && option.data[0] <= 1;
        case OptionKind::text: return text_fits(option.data);
        case OptionKind::message_type: return n == 1;
        case OptionKind::code_list: return n >= 1;
        case OptionKind::classless_routes: return routes_fit(option.data);
        case OptionKind::empty: return n == 0;
    }
    return false;
}

const char* message_type_name(std::uint8_t type)
{
    static constexpr const char* kNames[] = {
        nullptr,        "DISCOVER",    "OFFER",          "REQUEST",        "DECLINE",          "ACK",
        "NAK",          "RELEASE",     "INFORM",         "FORCERENEW",     "LEASEQUERY",       "LEASEUNASSIGNED",
        "LEASEUNKNOWN", "LEASEACTIVE", "BULKLEASEQUERY", "LEASEQUERYDONE", "ACTIVELEASEQUERY", "LEASEQUERYSTATUS",
        "TLS"};
    return type < std::size(kNames) ? kNames[type] : nullptr;
}
