// The LANs one run probes (the host's own link, or the VLANs of --vlan) and the servers --expect names on each:
// reading --vlan and --expect, and refusing lists that contradict each other. Pure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/ethernet.h"
#include "common/ipv4.h"

// The untagged LAN in a VLAN list (a trunk's native VLAN), or the link itself without --vlan.
inline constexpr std::uint16_t kUntaggedLan = 0;
inline constexpr std::uint16_t kHighestVlan = 4094;

// One authorised server on one LAN: by server identifier or source address, or by Ethernet source. The address
// comes first, so that {{10, 0, 0, 1}} is the address 10.0.0.1 on the untagged LAN, as it always was.
struct ExpectedServer {
    Ipv4Address address{};
    std::uint16_t vlan = kUntaggedLan;
    bool by_ethernet = false;
    HardwareAddress ethernet{};
};
bool operator==(const ExpectedServer& a, const ExpectedServer& b);

// One number per expected server, equal exactly when the servers are (==): the key of the hash sets that
// keep long lists (--vlan 1-4094 with many entries) from being searched one by one.
std::uint64_t expected_key(const ExpectedServer& server);

ExpectedServer expected_address(const Ipv4Address& address, std::uint16_t vlan = kUntaggedLan);
ExpectedServer expected_ethernet(const HardwareAddress& ethernet, std::uint16_t vlan = kUntaggedLan);

// One --expect entry as typed: "ADDRESS", "MAC", "VLAN/ADDRESS" or "VLAN/MAC" (VLAN a number or "untagged").
struct ExpectEntry {
    bool every_lan = true;  // no VLAN given: the server is expected on every LAN the run probes
    ExpectedServer server;
};

// Reads one entry; an empty string, or why it is refused.
std::string read_expect_entry(const std::string& text, ExpectEntry& entry);

// Reads --vlan: numbers 1..4094, ranges "100-120" and the word "untagged", joined by commas, into a sorted list.
// A VLAN listed twice (10,10 or 10-20,15) counts once. An empty string, or why the list is refused.
std::string read_vlan_list(const std::string& text, std::vector<std::uint16_t>& vlans);

// Turns the entries into one expected server per LAN: an entry without a VLAN stands for each LAN of lans.
// lans is {kUntaggedLan} without --vlan. Refuses (with the reason) an entry for a VLAN that is not probed, a VLAN
// given without --vlan, an Ethernet address without capture, and, with any entry, a probed LAN that none covers:
// its servers could not be judged. The same server named twice counts once.
std::string resolve_expectations(const std::vector<ExpectEntry>& entries, const std::vector<std::uint16_t>& lans,
                                 bool vlans_given, bool capture, std::vector<ExpectedServer>& expected);

// "untagged" or "10".
std::string lan_text(std::uint16_t vlan);

// "192.168.1.1", "02:4f:52:56:00:01", and with the VLAN where the run probes VLANs: "10/192.168.1.1".
std::string expected_text(const ExpectedServer& server, bool with_vlan);
