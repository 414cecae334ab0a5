// DHCPv6 messages from the wire (RFC 8415), decoded from untrusted bytes: what a server offered, who it
// is, and a list of everything that was wrong with the message.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ipv6.h"
#include "protocol/dhcpv6_duid.h"

enum class Dhcpv6Problem {
    kTruncatedHeader,         // shorter than the fixed header of its message type
    kTruncatedOption,         // fewer than four bytes left for an option's code and length
    kOptionOverrun,           // an option's length runs past its message or containing option
    kBadOptionLength,         // a length its kind cannot have; the option is skipped
    kBadDuid,                 // a client or server identifier too short or too long for its DUID type
    kBadPrefixLength,         // an IA Prefix longer than 128 bits; the prefix is skipped
    kRepeatedOption,          // a second copy of an option that may appear once; the first is kept
    kCompressedName,          // a domain list using DNS name compression, which RFC 8415 forbids
    kBadName,                 // a domain list with a bad label or a name running past the option
    kNestedRelayNotFollowed,  // a relay message inside a relay message: decoded one level only
};

struct Dhcpv6Fault {
    Dhcpv6Problem problem;
    std::uint16_t option_code = 0;  // the option at fault; 0 for the header
    std::size_t offset = 0;         // of the option (or header) from the start of the input
};

// An option decoded into none of the fields below.
struct Dhcpv6OptionSpan {
    std::uint16_t code = 0;
    std::size_t length = 0;       // of its value
    std::size_t offset = 0;       // of its code, from the start of the input
    std::uint16_t container = 0;  // the option it sits in; 0 at the top of the message
};

struct Dhcpv6Status {
    std::uint16_t code = 0;
    std::string message;  // the server's text as sent (UTF-8 by RFC, unchecked): escape before printing
};

struct Dhcpv6IaAddress {
    Ipv6Address address{};
    std::uint32_t preferred_lifetime = 0;
    std::uint32_t valid_lifetime = 0;
    std::vector<Dhcpv6Status> statuses;
};

struct Dhcpv6IaPrefix {
    Ipv6Address prefix{};
    std::uint8_t prefix_length = 0;  // never above 128
    std::uint32_t preferred_lifetime = 0;
    std::uint32_t valid_lifetime = 0;
    std::vector<Dhcpv6Status> statuses;
};

// IA_NA (addresses) or IA_PD (prefixes).
struct Dhcpv6IdentityAssociation {
    std::uint32_t iaid = 0;
    std::uint32_t t1 = 0;
    std::uint32_t t2 = 0;
    std::vector<Dhcpv6IaAddress> addresses;  // IA_NA
    std::vector<Dhcpv6IaPrefix> prefixes;    // IA_PD
    std::vector<Dhcpv6Status> statuses;
};

struct Dhcpv6Message {
    bool has_header = false;  // at least the fixed header of its type arrived
    std::uint8_t message_type = 0;
    std::array<std::uint8_t, 3> transaction_id{};  // client and server messages

    // RELAY-FORW and RELAY-REPL.
    bool is_relay = false;
    std::uint8_t hop_count = 0;
    Ipv6Address link_address{};
    Ipv6Address peer_address{};
    bool has_relay_message = false;
    std::size_t relay_message_offset = 0;  // of the inner message's first byte, from the start of the input
    std::size_t relay_message_length = 0;

    bool has_client_id = false;
    Dhcpv6Duid client_id;
    bool has_server_id = false;
    Dhcpv6Duid server_id;
    bool has_preference = false;
    std::uint8_t preference = 0;
    bool has_elapsed_time = false;
    std::uint16_t elapsed_hundredths = 0;
    std::vector<std::uint16_t> requested_options;  // the Option Request option
    std::vector<Dhcpv6Status> statuses;
    std::vector<Dhcpv6IdentityAssociation> ia_na;
    std::vector<Dhcpv6IdentityAssociation> ia_pd;
    std::vector<Ipv6Address> dns_servers;
    std::vector<std::string> domains;
    bool rapid_commit = false;
    bool has_server_unicast = false;
    Ipv6Address server_unicast{};
    std::vector<Dhcpv6OptionSpan> other_options;

    std::vector<Dhcpv6Fault> faults;
};

struct Dhcpv6Decoded {
    Dhcpv6Message message;
    // A relay message's inner message, decoded too when the Relay Message option is there.
    bool has_inner = false;
    Dhcpv6Message inner;
};

// Decodes a DHCPv6 message (the UDP payload). Never reads outside data[0..size); every problem lands in
// faults and what can still be read safely is read.
Dhcpv6Decoded decode_dhcpv6(const std::uint8_t* data, std::size_t size);

// "ADVERTISE", "REPLY", ... and "UNKNOWN" for the rest.
const char* dhcpv6_message_type_name(std::uint8_t message_type);

// "Success", "NoAddrsAvail", ... and "unknown".
const char* dhcpv6_status_name(std::uint16_t code);

const char* dhcpv6_problem_text(Dhcpv6Problem problem);
