// Router Advertisement decoding: the validity checks a host makes before use, the fixed fields and the
// options, each option checked against the length its kind must have.
#include "protocol/router_advert.h"

#include "common/dhcpv6_wire.h"
#include "protocol/checksum.h"
#include "protocol/dns_names.h"

namespace {

constexpr std::size_t kPrefixOptionSize = 32;
constexpr std::size_t kMtuOptionSize = 8;
constexpr std::size_t kRdnssFixedSize = 8;  // type, length, reserved, lifetime
constexpr std::size_t kDnsslFixedSize = 8;
constexpr std::size_t kRouteFixedSize = 8;  // type, length, prefix length, flags, lifetime

std::uint16_t read16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint32_t read32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

RouterPreference preference_of(std::uint8_t bits)
{
    switch (bits) {
        case kRaPreferenceHigh: return RouterPreference::kHigh;
        case kRaPreferenceLow: return RouterPreference::kLow;
        default: return RouterPreference::kMedium;
    }
}

void add_fault(RouterAdvert& advert, RaOptionProblem problem, const RaOptionSpan& option)
{
    advert.option_faults.push_back({problem, option.type, option.offset});
}

void decode_prefix(const std::uint8_t* p, const RaOptionSpan& option, RouterAdvert& advert)
{
    if (option.length != kPrefixOptionSize) return add_fault(advert, RaOptionProblem::kBadLength, option);
    if (p[2] > 128) return add_fault(advert, RaOptionProblem::kBadPrefixLength, option);
    RaPrefix prefix;
    prefix.prefix_length = p[2];
    prefix.on_link = (p[3] & kPrefixFlagOnLink) != 0;
    prefix.autonomous = (p[3] & kPrefixFlagAutonomous) != 0;
    prefix.valid_lifetime = read32(p + 4);
    prefix.preferred_lifetime = read32(p + 8);
    for (std::size_t i = 0; i < prefix.prefix.size(); ++i) prefix.prefix[i] = p[16 + i];
    // RFC 4862 makes hosts ignore such a prefix for addresses; it is still what the router said.
    if (prefix.preferred_lifetime > prefix.valid_lifetime)
        add_fault(advert, RaOptionProblem::kPreferredOverValid, option);
    advert.prefixes.push_back(prefix);
}

void decode_rdnss(const std::uint8_t* p, const RaOptionSpan& option, RouterAdvert& advert)
{
    // Length 3, 5, 7...: the fixed part and whole addresses.
    if (option.length < kRdnssFixedSize + 16 || (option.length - kRdnssFixedSize) % 16 != 0)
        return add_fault(advert, RaOptionProblem::kBadLength, option);
    RaRdnss rdnss;
    rdnss.lifetime = read32(p + 4);
    for (std::size_t at = kRdnssFixedSize; at < option.length; at += 16) {
        Ipv6Address server{};
        for (std::size_t i = 0; i < server.size(); ++i) server[i] = p[at + i];
        rdnss.servers.push_back(server);
    }
    advert.rdnss.push_back(rdnss);
}

void decode_dnssl(const std::uint8_t* p, const RaOptionSpan& option, RouterAdvert& advert)
{
    if (option.length < kDnsslFixedSize + kNdOptionUnit) return add_fault(advert, RaOptionProblem::kBadLength, option);
    RaDnssl dnssl;
    dnssl.lifetime = read32(p + 4);
    const DnsNameList list = decode_dns_name_list(p + kDnsslFixedSize, option.length - kDnsslFixedSize, true);
    dnssl.domains = list.names;
    if (list.problem == DnsNameProblem::kCompressed)
        add_fault(advert, RaOptionProblem::kCompressedName, option);
    else if (list.problem != DnsNameProblem::kNone)
        add_fault(advert, RaOptionProblem::kBadDomainName, option);
    advert.dnssl.push_back(dnssl);
}

void decode_route(const std::uint8_t* p, const RaOptionSpan& option, RouterAdvert& advert)
{
    if (option.length < kRouteFixedSize || option.length > kRouteFixedSize + 16)
        return add_fault(advert, RaOptionProblem::kBadLength, option);
    const std::uint8_t prefix_length = p[2];
    // RFC 4191: 8 bytes carry no prefix, 16 at most 64 bits, 24 all 128.
    const std::size_t prefix_bytes = option.length - kRouteFixedSize;
    if (prefix_length > 128 || prefix_length > prefix_bytes * 8)
        return add_fault(advert, RaOptionProblem::kBadPrefixLength, option);
    const std::uint8_t bits = static_cast<std::uint8_t>((p[3] & kRaPreferenceMask) >> kRaPreferenceShift);
    if (bits == kRaPreferenceReserved) return add_fault(advert, RaOptionProblem::kReservedPreference, option);
    RaRoute route;
    route.prefix_length = prefix_length;
    route.preference = preference_of(bits);
    route.lifetime = read32(p + 4);
    // Bits past the prefix length are reserved; they are dropped so equal routes compare equal.
    for (std::size_t bit = 0; bit < prefix_length; ++bit)
        if ((p[kRouteFixedSize + bit / 8] >> (7 - bit % 8) & 1) != 0)
            route.prefix[bit / 8] = static_cast<std::uint8_t>(route.prefix[bit / 8] | 1 << (7 - bit % 8));
    advert.routes.push_back(route);
}

void decode_option(const std::uint8_t* icmp, const RaOptionSpan& option, RouterAdvert& advert)
{
    const std::uint8_t* p = icmp + option.offset;
    switch (option.type) {
        case kNdOptionSourceLinkLayer:
            if (advert.has_source_link_layer) return add_fault(advert, RaOptionProblem::kRepeatedOption, option);
            // Every length from 1 on holds at least six address bytes; Ethernet uses exactly length 1.
            advert.has_source_link_layer = true;
            for (std::size_t i = 0; i < advert.source_link_layer.size(); ++i) advert.source_link_layer[i] = p[2 + i];
            return;
        case kNdOptionMtu:
            if (option.length != kMtuOptionSize) return add_fault(advert, RaOptionProblem::kBadLength, option);
            if (advert.has_mtu) return add_fault(advert, RaOptionProblem::kRepeatedOption, option);
            advert.has_mtu = true;
            advert.mtu = read32(p + 4);
            return;
        case kNdOptionPrefixInformation: return decode_prefix(p, option, advert);
        case kNdOptionRdnss: return decode_rdnss(p, option, advert);
        case kNdOptionDnssl: return decode_dnssl(p, option, advert);
        case kNdOptionRouteInformation: return decode_route(p, option, advert);
        default: advert.unknown_options.push_back(option);
    }
}

void walk_options(const std::uint8_t* icmp, std::size_t size, RouterAdvert& advert)
{
    std::size_t at = kRouterAdvertisementSize;
    while (at < size) {
        if (size - at < 2) {
            advert.invalid.push_back(RaInvalid::kOptionOverrun);
            return;
        }
        const std::size_t length = static_cast<std::size_t>(icmp[at + 1]) * kNdOptionUnit;
        if (length == 0) {
            advert.invalid.push_back(RaInvalid::kZeroLengthOption);
            return;
        }
        if (length > size - at) {
            advert.invalid.push_back(RaInvalid::kOptionOverrun);
            return;
        }
        const RaOptionSpan option{icmp[at], at, length};
        advert.options.push_back(option);
        decode_option(icmp, option, advert);
        at += length;
    }
}

}  // namespace

RouterAdvert decode_router_advert(const std::uint8_t* icmp, std::size_t size, const RouterAdvertContext& context)
{
    RouterAdvert advert;
    if (size >= 1) advert.type = icmp[0];
    if (size >= 2) advert.code = icmp[1];
    if (advert.type != kIcmpv6RouterAdvertisement) advert.invalid.push_back(RaInvalid::kNotRouterAdvertisement);
    if (context.hop_limit != kNeighborDiscoveryHopLimit) advert.invalid.push_back(RaInvalid::kHopLimitNot255);
    if (advert.code != 0) advert.invalid.push_back(RaInvalid::kCodeNotZero);
    if (size < kRouterAdvertisementSize) advert.invalid.push_back(RaInvalid::kTooShort);
    if (context.verify_checksum &&
        (size < kIcmpv6ChecksumOffset + 2 ||
         ipv6_upper_layer_checksum(context.source, context.destination, kNextHeaderIcmpv6, icmp, size) != 0))
        advert.invalid.push_back(RaInvalid::kBadChecksum);
    if (!is_link_local(context.source)) advert.invalid.push_back(RaInvalid::kSourceNotLinkLocal);
    if (size < kRouterAdvertisementSize) return advert;

    advert.has_header = true;
    advert.current_hop_limit = icmp[4];
    advert.managed = (icmp[5] & kRaFlagManaged) != 0;
    advert.other = (icmp[5] & kRaFlagOther) != 0;
    const std::uint8_t bits = static_cast<std::uint8_t>((icmp[5] & kRaPreferenceMask) >> kRaPreferenceShift);
    advert.preference = preference_of(bits);
    advert.preference_reserved = bits == kRaPreferenceReserved;
    advert.router_lifetime = read16(icmp + 6);
    advert.reachable_time = read32(icmp + 8);
    advert.retrans_timer = read32(icmp + 12);
    walk_options(icmp, size, advert);
    return advert;
}

const char* ra_invalid_text(RaInvalid reason)
{
    switch (reason) {
        case RaInvalid::kNotRouterAdvertisement: return "not a router advertisement";
        case RaInvalid::kHopLimitNot255: return "hop limit not 255";
        case RaInvalid::kCodeNotZero: return "ICMPv6 code not 0";
        case RaInvalid::kTooShort: return "shorter than 16 bytes";
        case RaInvalid::kBadChecksum: return "bad ICMPv6 checksum";
        case RaInvalid::kZeroLengthOption: return "option of length 0";
        case RaInvalid::kOptionOverrun: return "option runs past the packet";
        case RaInvalid::kSourceNotLinkLocal: return "source not link-local";
    }
    return "unknown";
}

const char* ra_option_problem_text(RaOptionProblem problem)
{
    switch (problem) {
        case RaOptionProblem::kBadLength: return "option length wrong for its kind";
        case RaOptionProblem::kBadPrefixLength: return "bad prefix length";
        case RaOptionProblem::kPreferredOverValid: return "preferred lifetime above valid lifetime";
        case RaOptionProblem::kBadDomainName: return "bad domain name";
        case RaOptionProblem::kCompressedName: return "compressed domain name";
        case RaOptionProblem::kRepeatedOption: return "option repeated";
        case RaOptionProblem::kReservedPreference: return "reserved route preference";
    }
    return "unknown";
}

const char* router_preference_text(RouterPreference preference)
{
    switch (preference) {
        case RouterPreference::kLow: return "low";
        case RouterPreference::kMedium: return "medium";
        case RouterPreference::kHigh: return "high";
    }
    return "medium";
}
