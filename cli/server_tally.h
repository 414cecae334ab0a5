// What the probe has heard: one record per reply, and per server its counts, times and paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"
#include "net/network.h"
#include "protocol/reply_fields.h"

// One datagram off port 68 as the probe saw it.
struct ReplyRecord {
    std::int64_t unix_ms = 0;  // wall clock, milliseconds since 1970 (UTC)
    double elapsed = 0.0;      // seconds since the probe started
    int round = 1;
    std::string interface;  // the interface it came in on; empty when the platform cannot tell
    DatagramSource source;
    std::size_t length = 0;  // bytes read (548 for a datagram that was longer)
    bool truncated = false;
    ReplyFields fields;
};

// A server is named by its server identifier, or by the reply's source address when it gives none.
Ipv4Address server_key(const ReplyRecord& reply);
bool is_relayed(const ReplyRecord& reply);
bool is_offer(const ReplyRecord& reply);

// True when the reply's server identifier or source address is one of expected.
bool reply_is_expected(const std::vector<Ipv4Address>& expected, const ReplyRecord& reply);

// One way a server's replies reached the probe: the interface, the relay (zero when direct) and the
// address the datagram came from.
struct ServerPath {
    std::string interface;
    Ipv4Address relay{};
    Ipv4Address source{};
};

struct ServerRecord {
    Ipv4Address key{};
    bool identified = false;  // key is a server identifier, not a source address
    int replies = 0;
    int offers = 0;
    int rounds = 0;  // rounds in which it answered
    int last_round = 0;
    int unexpected_replies = 0;
    std::int64_t first_unix_ms = 0, last_unix_ms = 0;
    double first_elapsed = 0.0, last_elapsed = 0.0;
    std::vector<ServerPath> paths;
};

// The servers whose offers came in on one interface (one link).
struct LinkOffers {
    std::string interface;
    std::vector<Ipv4Address> servers;
};

struct Tally {
    int replies = 0;
    std::vector<ServerRecord> servers;  // in the order first heard
    std::vector<LinkOffers> links;
};

// Adds one reply to the tally. Pure.
void tally_reply(Tally& tally, const ReplyRecord& reply, const std::vector<Ipv4Address>& expected);

const ServerRecord* find_server(const Tally& tally, const Ipv4Address& key);
const LinkOffers* find_link(const Tally& tally, const std::string& interface);

// Paths are told apart by interface and relay; the source address alone does not make a new one.
std::size_t distinct_routes(const ServerRecord& server);
