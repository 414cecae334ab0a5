// Router Advertisements (RFC 4861 section 4.2, RFC 4191, RFC 8106) decoded from untrusted ICMPv6 bytes,
// with each validity check of RFC 4861 section 6.1.2 reported as its own reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ethernet.h"
#include "common/ipv6.h"

// What the IP layer told about the packet (IPV6_HOPLIMIT and IPV6_PKTINFO on a raw socket).
struct RouterAdvertContext {
    std::uint8_t hop_limit = 0;
    Ipv6Address source{};
    Ipv6Address destination{};
    // A raw ICMPv6 socket drops bad checksums before they reach us; captured packets need the check.
    bool verify_checksum = true;
};

// Reasons RFC 4861 section 6.1.2 makes a host discard the message.
enum class RaInvalid {
    kNotRouterAdvertisement,  // ICMPv6 type other than 134
    kHopLimitNot255,          // sent from off the link, or forwarded
    kCodeNotZero,
    kTooShort,  // ICMPv6 length below 16
    kBadChecksum,
    kZeroLengthOption,
    kOptionOverrun,  // an option's length runs past the packet
    kSourceNotLinkLocal,
};

// Faults of single options: the option is skipped, the advertisement stays valid (RFC 4861 ignores them).
enum class RaOptionProblem {
    kBadLength,           // a length this kind of option cannot have
    kBadPrefixLength,     // above 128, or more bits than a Route Information option carries
    kPreferredOverValid,  // a prefix whose preferred lifetime exceeds its valid lifetime (kept)
    kBadDomainName,       // DNSSL: a bad label, padding that is not zero or a name cut short
    kCompressedName,      // DNSSL: compression, which RFC 8106 forbids
    kRepeatedOption,      // a second MTU or Source Link-Layer Address option; the first is kept
    kReservedPreference,  // a Route Information option with preference 10, which RFC 4191 ignores
};

struct RaOptionFault {
    RaOptionProblem problem;
    std::uint8_t type = 0;
    std::size_t offset = 0;  // of the option, from the start of the ICMPv6 message
};

// RFC 4191 preference; the reserved value 10 is read as medium, as that RFC says.
enum class RouterPreference { kLow, kMedium, kHigh };

struct RaOptionSpan {
    std::uint8_t type = 0;
    std::size_t offset = 0;  // from the start of the ICMPv6 message
    std::size_t length = 0;  // in bytes, type and length bytes included
};

struct RaPrefix {
    Ipv6Address prefix{};
    std::uint8_t prefix_length = 0;  // never above 128
    bool on_link = false;            // L
    bool autonomous = false;         // A
    std::uint32_t valid_lifetime = 0;
    std::uint32_t preferred_lifetime = 0;
};

struct RaRdnss {
    std::uint32_t lifetime = 0;
    std::vector<Ipv6Address> servers;
};

struct RaDnssl {
    std::uint32_t lifetime = 0;
    std::vector<std::string> domains;
};

struct RaRoute {
    Ipv6Address prefix{};  // bits beyond prefix_length are zero
    std::uint8_t prefix_length = 0;
    RouterPreference preference = RouterPreference::kMedium;
    std::uint32_t lifetime = 0;
};

struct RouterAdvert {
    std::vector<RaInvalid> invalid;  // empty when the advertisement is valid
    bool has_header = false;         // the 16 fixed bytes arrived
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint8_t current_hop_limit = 0;
    bool managed = false;  // M: addresses from DHCPv6
    bool other = false;    // O: other configuration from DHCPv6
    RouterPreference preference = RouterPreference::kMedium;
    bool preference_reserved = false;   // the bits were 10
    std::uint16_t router_lifetime = 0;  // seconds; 0: not a default router
    std::uint32_t reachable_time = 0;   // milliseconds
    std::uint32_t retrans_timer = 0;    // milliseconds

    bool has_source_link_layer = false;
    HardwareAddress source_link_layer{};  // the first six address bytes of the option
    bool has_mtu = false;
    std::uint32_t mtu = 0;
    std::vector<RaPrefix> prefixes;
    std::vector<RaRdnss> rdnss;
    std::vector<RaDnssl> dnssl;
    std::vector<RaRoute> routes;
    std::vector<RaOptionSpan> unknown_options;
    std::vector<RaOptionSpan> options;  // every option walked, in order
    std::vector<RaOptionFault> option_faults;
};

// Decodes the ICMPv6 message icmp[0..size) of a Router Advertisement. Never reads outside it; reasons
// to discard are all listed and the fields are still read as far as it is safe.
RouterAdvert decode_router_advert(const std::uint8_t* icmp, std::size_t size, const RouterAdvertContext& context);

inline bool router_advert_valid(const RouterAdvert& advert)
{
    return advert.invalid.empty();
}

const char* ra_invalid_text(RaInvalid reason);
const char* ra_option_problem_text(RaOptionProblem problem);
// "high", "medium", "low"
const char* router_preference_text(RouterPreference preference);
