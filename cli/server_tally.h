// What the probe has heard: one record per reply, and per server its counts, times and paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/lan_expectations.h"
#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"
#include "net/network.h"
#include "protocol/reply_fields.h"

// One datagram off port 68 as the probe saw it (or, with --capture, a reply caught on the link).
struct ReplyRecord {
    std::int64_t unix_ms = 0;  // wall clock, milliseconds since 1970 (UTC)
    double elapsed = 0.0;      // seconds since the probe started
    int round = 1;
    std::string interface;  // the interface it came in on; empty when the platform cannot tell
    DatagramSource source;
    std::size_t length = 0;  // bytes read (548 for a datagram that was longer)
    bool truncated = false;
    long long datagram_length = -1;  // the datagram's own length; -1 where the platform cannot tell
    // It answers this probe's request (answers_request). Only answers count for a server; anything
    // else on port 68 is reported all the same, but counted as "not DHCP".
    bool answers = false;
    ReplyFields fields;
    // What its frame told, with --capture only: a socket sees none of it.
    bool captured = false;
    std::uint16_t vlan = kUntaggedLan;  // the VLAN of its tag; kUntaggedLan without one, and always on a socket
    HardwareAddress ethernet{};         // the Ethernet source: the server's own, or its relay's
    std::string vendor;                 // the organization the IEEE registry names for it; empty when none does
};

// A server is named by its server identifier, or by the reply's source address when it gives none.
Ipv4Address server_key(const ReplyRecord& reply);
bool is_relayed(const ReplyRecord& reply);
bool is_offer(const ReplyRecord& reply);

// True when one of expected for the reply's LAN names its server identifier, its source address or (captured)
// its Ethernet source.
bool reply_is_expected(const std::vector<ExpectedServer>& expected, const ReplyRecord& reply);

// What in a reply makes an otherwise healthy verdict a warning: bits of ServerRecord::concerns.
inline constexpr unsigned kConcernIdentifierDiffers = 1;    // a direct reply sent from another address
inline constexpr unsigned kConcernOutsideRelayNetwork = 2;  // a relayed offer outside the relay's network
inline constexpr unsigned kConcernNotOffer = 4;             // an answer to a DISCOVER that is no OFFER

// Where the offered address lies against the relay's network.
enum class RelayNetwork {
    not_relayed,  // a direct reply, or one without an offered address
    unknown,      // relayed, but no subnet mask came with it
    inside,       // the offered address lies in the relay's network, by the reply's own subnet mask
    outside,
};
RelayNetwork judge_relay_network(const ReplyRecord& reply);

// The reply's concerns, from the reply alone. Pure.
unsigned reply_concerns(const ReplyRecord& reply);

// One way a server's replies reached the probe: the interface, the relay (zero when direct), the address the
// datagram came from and, captured, the Ethernet address that sent it, with what came that way.
struct ServerPath {
    std::string interface;
    Ipv4Address relay{};
    Ipv4Address source{};
    bool captured = false;
    HardwareAddress ethernet{};
    std::string vendor;
    int replies = 0;
    double first_offer_elapsed = -1.0;  // seconds since the probe started; -1 before an offer came this way
};

// A server on one LAN: one LAN's server and another's are counted apart, even under one identifier.
struct ServerRecord {
    Ipv4Address key{};
    std::uint16_t vlan = kUntaggedLan;
    bool identified = false;  // key is a server identifier, not a source address
    int replies = 0;
    int offers = 0;
    int rounds = 0;  // rounds in which it answered
    int last_round = 0;
    int unexpected_replies = 0;
    unsigned concerns = 0;        // kConcern... bits of its replies
    Ipv4Address first_offered{};  // the address its first offer offered; zero before one
    std::int64_t first_unix_ms = 0, last_unix_ms = 0;
    double first_elapsed = 0.0, last_elapsed = 0.0;
    std::vector<ServerPath> paths;
};

struct Ipv4Hash {
    std::size_t operator()(const Ipv4Address& address) const
    {
        return (std::size_t{address[0]} << 24) | (std::size_t{address[1]} << 16) | (std::size_t{address[2]} << 8) |
               address[3];
    }
};

// An address on one LAN: a server's key, a reply's source.
struct LanAddress {
    std::uint16_t vlan = kUntaggedLan;
    Ipv4Address address{};
    bool operator==(const LanAddress&) const = default;
};

struct LanAddressHash {
    std::size_t operator()(const LanAddress& key) const
    {
        return Ipv4Hash{}(key.address) * 4099 + key.vlan;
    }
};

// An Ethernet source on one LAN.
struct LanEthernet {
    std::uint16_t vlan = kUntaggedLan;
    HardwareAddress ethernet{};
    bool operator==(const LanEthernet&) const = default;
};

struct LanEthernetHash {
    std::size_t operator()(const LanEthernet& key) const
    {
        std::size_t hash = key.vlan;
        for (const std::uint8_t byte : key.ethernet) hash = hash * 131 + byte;
        return hash;
    }
};

// The servers whose offers came in on one interface and VLAN (one link).
struct LinkOffers {
    std::string interface;
    std::uint16_t vlan = kUntaggedLan;
    std::unordered_set<Ipv4Address, Ipv4Hash> servers;
};

// A tally keeps at most this many servers, so that a LAN that forges server identifiers cannot make
// the probe's memory or its work per reply grow without end. Answers from further servers are counted
// as over the limit, and that alone makes the verdict grave.
inline constexpr std::size_t kMaxServers = 4096;
// And at most this many paths per server (a forger may vary the source address too).
inline constexpr std::size_t kMaxPathsPerServer = 16;

struct Tally {
    int replies = 0;                    // every datagram
    int not_dhcp = 0;                   // datagrams that answer no request of this probe: reported, but no server's
    int over_limit = 0;                 // answers from servers beyond kMaxServers, not tallied
    long long kernel_drops = 0;         // datagrams the kernel dropped while the tally was open: set by the session
    std::vector<ServerRecord> servers;  // in the order first heard
    std::unordered_map<LanAddress, std::size_t, LanAddressHash> indexes;  // server key and LAN -> place in servers
    std::unordered_set<LanAddress, LanAddressHash> sources;               // where the tallied answers came from
    std::unordered_set<LanEthernet, LanEthernetHash> ethernet_sources;    // captured: who sent them
    std::vector<LinkOffers> links;
};

// Adds one reply to the tally: its counts, and unless it is no answer or its server is over the limit,
// its server's record. The work does not grow with the number of servers. Pure.
void tally_reply(Tally& tally, const ReplyRecord& reply, const std::vector<ExpectedServer>& expected);

const ServerRecord* find_server(const Tally& tally, const Ipv4Address& key, std::uint16_t vlan = kUntaggedLan);
const LinkOffers* find_link(const Tally& tally, const std::string& interface, std::uint16_t vlan = kUntaggedLan);

// Paths are told apart by interface and relay; the source address alone does not make a new one.
std::size_t distinct_routes(const ServerRecord& server);
