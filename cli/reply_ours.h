// Capture mode's "ours only": a captured reply counts when a socket bound to port 68 on this host would have been
// handed it and it answers this probe's own request. A packet socket sees the whole link, so without this a host
// on the LAN could have its replies (or a forger's, addressed to someone else) counted as answers to the probe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/ethernet.h"
#include "common/ipv4.h"
#include "protocol/frame_decoder.h"

// What kept a captured datagram from being ours; ours when nothing did.
enum class NotOurs : std::uint8_t {
    ours,
    other_station,      // sent to another Ethernet address than the interface's, --mac's or broadcast
    other_address,      // sent to an IPv4 address this host does not hold, not broadcast nor the offered address
    other_client,       // a BOOTREPLY for another client hardware address
    other_transaction,  // a BOOTREPLY with another transaction id
};
inline constexpr std::size_t kNotOursCount = 5;

// "other-station", "other-address", "other-client", "other-transaction" for text, JSON and metrics.
std::string_view not_ours_name(NotOurs kind);

// Who this probe is on one interface.
struct OurIdentity {
    HardwareAddress interface_address{};  // the interface's own Ethernet address
    HardwareAddress client_address{};     // the chaddr of our DISCOVER: --mac, or the interface's address
    std::vector<Ipv4Address> addresses;   // the interface's IPv4 addresses and their subnets' broadcasts
};

// Judges a captured datagram (its frame and UDP payload) against who we are. A payload that is no BOOTREPLY is
// let through when its addresses are ours, as a socket would hand it on (it is then reported as no answer).
// A unicast to the offered address is ours: servers send offers so when the broadcast flag is clear. Pure.
NotOurs judge_ours(const DecodedFrame& frame, const std::uint8_t* payload, std::size_t length, const OurIdentity& us);
