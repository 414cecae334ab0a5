// The LANs one run probes and the servers expected on each: --vlan and --expect read and checked together.
#include "cli/lan_expectations.h"

#include <algorithm>
#include <unordered_set>

namespace {

constexpr const char* kUntaggedWord = "untagged";

// A VLAN id: digits only, 1..4094, or the untagged LAN's word.
bool read_vlan_id(const std::string& text, std::uint16_t& vlan)
{
    if (text == kUntaggedWord) {
        vlan = kUntaggedLan;
        return true;
    }
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const int value = std::stoi(text);
    if (value < 1 || value > kHighestVlan) return false;
    vlan = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool operator==(const ExpectedServer& a, const ExpectedServer& b)
{
    return a.vlan == b.vlan && a.by_ethernet == b.by_ethernet &&
           (a.by_ethernet ? a.ethernet == b.ethernet : a.address == b.address);
}

std::uint64_t expected_key(const ExpectedServer& server)
{
    // VLAN in bits 49 and up, the kind in bit 48, the Ethernet or IPv4 address below.
    std::uint64_t value = 0;
    if (server.by_ethernet)
        for (const std::uint8_t byte : server.ethernet) value = value << 8 | byte;
    else
        for (const std::uint8_t byte : server.address) value = value << 8 | byte;
    return static_cast<std::uint64_t>(server.vlan) << 49 | (server.by_ethernet ? 1ULL << 48 : 0) | value;
}

ExpectedServer expected_address(const Ipv4Address& address, std::uint16_t vlan)
{
    ExpectedServer server;
    server.vlan = vlan;
    server.address = address;
    return server;
}

ExpectedServer expected_ethernet(const HardwareAddress& ethernet, std::uint16_t vlan)
{
    ExpectedServer server;
    server.vlan = vlan;
    server.by_ethernet = true;
    server.ethernet = ethernet;
    return server;
}

std::string read_expect_entry(const std::string& text, ExpectEntry& entry)
{
    entry = ExpectEntry{};
    std::string server = text;
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos) {
        if (!read_vlan_id(text.substr(0, slash), entry.server.vlan))
            return "not a VLAN (1 to 4094, or untagged) before '/': " + text;
        entry.every_lan = false;
        server = text.substr(slash + 1);
    }
    if (parse_ipv4(server, entry.server.address)) return {};
    if (!parse_hardware_address(server, entry.server.ethernet))
        return "not an IPv4 or Ethernet address, nor VLAN/ADDRESS: " + text;
    // A server sends from its own, unicast address.
    if (is_group_address(entry.server.ethernet) || is_zero_hardware_address(entry.server.ethernet))
        return server + " is a group or all-zero Ethernet address, which no server sends from";
    entry.server.by_ethernet = true;
    return {};
}

std::string read_vlan_list(const std::string& text, std::vector<std::uint16_t>& vlans)
{
    vlans.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        const std::size_t dash = item.find('-');
        std::uint16_t first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!read_vlan_id(item, first)) return "not a VLAN (1 to 4094, or untagged): " + item;
            last = first;
        } else {
            const std::string low = item.substr(0, dash), high = item.substr(dash + 1);
            if (low == kUntaggedWord || high == kUntaggedWord || !read_vlan_id(low, first) || !read_vlan_id(high, last))
                return "not a range of VLANs (such as 100-120, within 1 to 4094): " + item;
            if (first > last) return "a range of VLANs must run upwards: " + item;
        }
        for (int vlan = first; vlan <= last; ++vlan) vlans.push_back(static_cast<std::uint16_t>(vlan));
        start = comma + 1;
    }
    std::sort(vlans.begin(), vlans.end());
    vlans.erase(std::unique(vlans.begin(), vlans.end()), vlans.end());
    return {};
}

std::string resolve_expectations(const std::vector<ExpectEntry>& entries, const std::vector<std::uint16_t>& lans,
                                 bool vlans_given, bool capture, std::vector<ExpectedServer>& expected)
{
    expected.clear();
    std::unordered_set<std::uint64_t> taken;
    std::vector<bool> covered(kHighestVlan + 1, false);
    const auto add = [&](const ExpectedServer& server) {
        if (!taken.insert(expected_key(server)).second) return;
        expected.push_back(server);
        covered[server.vlan] = true;
    };
    for (const ExpectEntry& entry : entries) {
        if (entry.server.by_ethernet && !capture)
            return "--expect " + expected_text(entry.server, !entry.every_lan) +
                   ": an Ethernet address is seen only with --capture";
        if (entry.every_lan) {
            for (const std::uint16_t lan : lans) {
                ExpectedServer server = entry.server;
                server.vlan = lan;
                add(server);
            }
            continue;
        }
        const std::string shown = expected_text(entry.server, true);
        if (!vlans_given) return "--expect " + shown + " names a VLAN, but only --vlan probes VLANs";
        if (std::find(lans.begin(), lans.end(), entry.server.vlan) == lans.end())
            return "--expect " + shown + " names VLAN " + lan_text(entry.server.vlan) + ", which --vlan does not list";
        add(entry.server);
    }
    if (expected.empty()) return {};
    for (const std::uint16_t lan : lans) {
        if (!covered[lan])
            return "--expect names no server for VLAN " + lan_text(lan) +
                   ", so its replies could not be judged: name " + "one as " + lan_text(lan) +
                   "/ADDRESS, or one without a VLAN for every VLAN";
    }
    return {};
}

std::string lan_text(std::uint16_t vlan)
{
    return vlan == kUntaggedLan ? std::string(kUntaggedWord) : std::to_string(vlan);
}

std::string expected_text(const ExpectedServer& server, bool with_vlan)
{
    const std::string name = server.by_ethernet ? hardware_address_text(server.ethernet) : address_text(server.address);
    return with_vlan ? lan_text(server.vlan) + "/" + name : name;
}
