// What the probe has heard: one record per reply, and per server its counts, times and paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
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
    long long datagram_length = -1;  // the datagram's own length; -1 where the platform cannot tell
    // It answers this probe's request (answers_request). Only answers count for a server; anything
    // else on port 68 is reported all the same, but counted as "not DHCP".
    bool answers = false;
    ReplyFields fields;
};

// A server is named by its server identifier, or by the reply's source address when it gives none.
Ipv4Address server_key(const ReplyRecord& reply);
bool is_relayed(const ReplyRecord& reply);
bool is_offer(const ReplyRecord& reply);

// True when the reply's server identifier or source address is one of expected.
bool reply_is_expected(const std::vector<Ipv4Address>& expected, const ReplyRecord& reply);

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

// One way a server's replies reached the probe: the interface, the relay (zero when direct) and the
// address the datagram came from, with what came that way.
struct ServerPath {
    std::string interface;
    Ipv4Address relay{};
    Ipv4Address source{};
    int replies = 0;
    double first_offer_elapsed = -1.0;  // seconds since the probe started; -1 before an offer came this way
};

struct ServerRecord {
    Ipv4Address key{};
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

// The servers whose offers came in on one interface (one link).
struct LinkOffers {
    std::string interface;
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
    std::vector<ServerRecord> servers;  // in the order first heard
    std::unordered_map<Ipv4Address, std::size_t, Ipv4Hash> indexes;  // server key -> its place in servers
    std::unordered_set<Ipv4Address, Ipv4Hash> sources;               // where the tallied answers came from
    std::vector<LinkOffers> links;
};

// Adds one reply to the tally: its counts, and unless it is no answer or its server is over the limit,
// its server's record. The work does not grow with the number of servers. Pure.
void tally_reply(Tally& tally, const ReplyRecord& reply, const std::vector<Ipv4Address>& expected);

const ServerRecord* find_server(const Tally& tally, const Ipv4Address& key);
const LinkOffers* find_link(const Tally& tally, const std::string& interface);

// Paths are told apart by interface and relay; the source address alone does not make a new one.
std::size_t distinct_routes(const ServerRecord& server);
