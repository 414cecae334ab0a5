// What the probe has heard over IPv6: DHCPv6 answers and router advertisements, their servers and routers,
// the servers and routers --expect and --expect-router name, and the IPv6 half of the verdict. Pure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/ethernet.h"
#include "common/ipv6.h"
#include "protocol/dhcpv6_message.h"
#include "protocol/router_advert.h"

// The DHCPv6 servers and routers named on the command line.
struct Ipv6Expectations {
    std::vector<std::vector<std::uint8_t>> server_duids;
    std::vector<Ipv6Address> server_addresses;
    std::vector<Ipv6Address> router_addresses;
    std::vector<HardwareAddress> router_ethernets;
};

bool expects_servers(const Ipv6Expectations& expected);
bool expects_routers(const Ipv6Expectations& expected);

// One --expect entry that names a DHCPv6 server: an IPv6 address or a DUID in hex (with or without ':' or
// '-' between byte pairs). Returns false, leaving expected alone, when text is neither. A DUID is at least 3
// bytes long (its type and one byte), so that a six-pair Ethernet address stays an Ethernet address.
bool read_expected_dhcpv6_server(const std::string& text, Ipv6Expectations& expected);

// One --expect-router entry: a link-local IPv6 address or a unicast Ethernet address. An empty string, or why
// it is refused.
std::string read_expected_router(const std::string& text, Ipv6Expectations& expected);

// What this round's request asked as, to tell our answers from others'.
struct Ipv6Request {
    std::array<std::uint8_t, 3> transaction_id{};
    std::vector<std::uint8_t> client_duid;  // DUID-LL of the client address
};

// DUID-LL (type 3, hardware type 1) of an Ethernet address, as the SOLICIT carries it.
std::vector<std::uint8_t> duid_ll(const HardwareAddress& address);

// One datagram off port 546.
struct Dhcpv6Record {
    std::int64_t unix_ms = 0;
    double elapsed = 0.0;
    int round = 1;
    std::string interface;
    Ipv6Address source{};
    std::uint16_t port = 0;
    std::size_t length = 0;
    bool truncated = false;
    Dhcpv6Message message;
    bool our_transaction = false;  // the transaction id of this round's SOLICIT
    bool our_client = false;       // our client identifier
    // An ADVERTISE or REPLY with our transaction id and client identifier: it counts for its server.
    bool answers = false;
    bool expected = false;  // its server is named by --expect
};

// One message off the ICMPv6 socket that passes router advertisements.
struct RouterRecord {
    std::int64_t unix_ms = 0;
    double elapsed = 0.0;
    int round = 1;
    std::string interface;
    Ipv6Address source{};
    RouterAdvert advert;
    std::string vendor;  // of its Source Link-Layer Address, when the registry knows it
    bool expected = false;
};

// Fills a record's our_transaction, our_client and answers from its message and the request. Pure.
void judge_dhcpv6_answer(Dhcpv6Record& record, const Ipv6Request& request);

bool dhcpv6_server_expected(const Ipv6Expectations& expected, const Dhcpv6Message& message, const Ipv6Address& source);
bool router_expected(const Ipv6Expectations& expected, const RouterRecord& record);

// Tallies keep at most this many servers and routers each; further ones are counted over the limit.
inline constexpr std::size_t kMaxIpv6Servers = 4096;

struct Dhcpv6Server {
    std::string key;  // the DUID in hex, or the source address when the answer named none or a malformed one
    bool by_duid = false;
    std::vector<std::uint8_t> duid;
    Ipv6Address source{};  // of its first answer
    std::string interface;
    bool expected = false;
    int answers = 0;
    int advertises = 0;
    int replies = 0;
    int rounds = 0;
    int last_round = 0;
    bool has_preference = false;
    std::uint8_t preference = 0;
    double first_elapsed = 0.0, last_elapsed = 0.0;
};

struct Router {
    Ipv6Address source{};
    std::string interface;
    bool has_ethernet = false;
    HardwareAddress ethernet{};
    std::string vendor;
    bool expected = false;
    int adverts = 0;
    int rounds = 0;
    int last_round = 0;
    std::uint16_t lifetime = 0;
    RouterPreference preference = RouterPreference::kMedium;
    bool managed = false, other = false;
    double first_elapsed = 0.0, last_elapsed = 0.0;
};

struct Ipv6Tally {
    int datagrams = 0;        // everything off port 546
    int answers = 0;          // of them, answers to our SOLICIT
    int foreign = 0;          // ADVERTISE or REPLY with another transaction id or client identifier
    int not_answer = 0;       // any other message off port 546
    int adverts = 0;          // every router advertisement
    int invalid_adverts = 0;  // of them, the invalid ones (reported, not tallied as a router)
    int over_limit = 0;       // answers and advertisements beyond kMaxIpv6Servers servers or routers
    // --capture: frames tagged for a VLAN, which belong to another link than the one judged; set by the session.
    int other_vlan = 0;
    // Datagrams and advertisements the kernel dropped on the run's IPv6 sockets for want of room while the tally
    // was open; -1 unknown. Set by the session, not by the tally functions.
    long long kernel_drops = -1;
    std::vector<Dhcpv6Server> servers;
    std::unordered_map<std::string, std::size_t> server_index;
    std::vector<Router> routers;
    std::unordered_map<std::string, std::size_t> router_index;  // by source address text
};

// Adds a datagram off port 546 or an advertisement to the tally. The work does not grow with its size. Pure.
void tally_dhcpv6(Ipv6Tally& tally, const Dhcpv6Record& record);
void tally_router(Ipv6Tally& tally, const RouterRecord& record);

struct Ipv6Verdict {
    int status = 2;
    bool nothing_answered = true;  // no answer to our SOLICIT and no valid advertisement
    std::vector<std::string> unexpected_servers, silent_servers;
    std::vector<std::string> unexpected_routers, silent_routers;
    int invalid_adverts = 0;
    int over_limit = 0;
    int foreign = 0;
    long long kernel_drops = 0;  // a dropped datagram may have been a rogue's answer
    bool ended_early = false;    // set by the caller, as for IPv4
};

// CRITICAL (2) when nothing answered, an unexpected server answered while --expect names DHCPv6 servers, an
// unlisted router advertised while --expect-router names routers, a named one stayed silent, or more servers
// or routers answered than the tally keeps; WARNING (1) when an invalid advertisement came or the kernel dropped
// datagrams; else OK (0). Pure.
Ipv6Verdict judge_ipv6(const Ipv6Tally& tally, const Ipv6Expectations& expected);

// Every named server and router has answered (what --quick waits for); true when none is named.
bool every_ipv6_expected_answered(const Ipv6Tally& tally, const Ipv6Expectations& expected);

// "000200007ed901" or "fd00:77::1": how a server is named in reports.
std::string dhcpv6_server_name(const Dhcpv6Server& server);
