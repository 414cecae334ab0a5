// libFuzzer target: raw bytes as the ICMPv6 part of a Router Advertisement. The option walk must cover the
// packet after the fixed part exactly when the advertisement is valid, prefixes stay within 128 bits, and
// what the IP layer told (hop limit, source, checksum) changes only the reasons that depend on it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/dhcpv6_wire.h"
#include "protocol/checksum.h"
#include "protocol/router_advert.h"

namespace {

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "router_advert_fuzz: %s\n", what);
    std::abort();
}

bool has(const RouterAdvert& ra, RaInvalid reason)
{
    return std::find(ra.invalid.begin(), ra.invalid.end(), reason) != ra.invalid.end();
}

const Ipv6Address kRouter{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
const Ipv6Address kGlobal{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096) return -1;
    std::vector<std::uint8_t> bytes(data, data + size);
    const RouterAdvert ra = decode_router_advert(bytes.data(), bytes.size(), {255, kRouter, kAllNodes, false});

    std::size_t end = kRouterAdvertisementSize;
    for (const RaOptionSpan& option : ra.options) {
        check(option.offset == end && option.length > 0 && option.length % kNdOptionUnit == 0, "walk not contiguous");
        end += option.length;
        check(end <= size, "option outside the packet");
    }
    if (router_advert_valid(ra)) check(end == size, "valid advertisement with bytes left over");
    check(ra.has_header == (size >= kRouterAdvertisementSize), "header");
    for (const RaPrefix& prefix : ra.prefixes) check(prefix.prefix_length <= 128, "prefix over 128");
    for (const RaRoute& route : ra.routes) {
        check(route.prefix_length <= 128, "route over 128");
        for (std::size_t bit = route.prefix_length; bit < 128; ++bit)
            check((route.prefix[bit / 8] >> (7 - bit % 8) & 1) == 0, "route bits past its length");
    }
    for (const RaOptionSpan& unknown : ra.unknown_options)
        check(std::find_if(ra.options.begin(), ra.options.end(),
                           [&](const RaOptionSpan& o) { return o.offset == unknown.offset; }) != ra.options.end(),
              "unknown option not walked");

    // From off the link and a global source: exactly those two reasons more, the fields the same.
    const RouterAdvert far = decode_router_advert(bytes.data(), bytes.size(), {64, kGlobal, kAllNodes, false});
    check(has(far, RaInvalid::kHopLimitNot255) && has(far, RaInvalid::kSourceNotLinkLocal), "context reasons");
    check(far.invalid.size() == ra.invalid.size() + 2, "context changed other reasons");
    check(far.options.size() == ra.options.size() && far.prefixes.size() == ra.prefixes.size(), "context fields");

    // With the checksum filled in for these addresses it verifies; any other value does not.
    if (size >= kIcmpv6ChecksumOffset + 2) {
        bytes[2] = bytes[3] = 0;
        const std::uint16_t sum = ipv6_upper_layer_checksum(kRouter, kAllNodes, kNextHeaderIcmpv6, bytes.data(), size);
        bytes[2] = static_cast<std::uint8_t>(sum >> 8);
        bytes[3] = static_cast<std::uint8_t>(sum & 0xff);
        const RouterAdvert summed = decode_router_advert(bytes.data(), size, {255, kRouter, kAllNodes, true});
        check(!has(summed, RaInvalid::kBadChecksum), "filled checksum refused");
        bytes[3] ^= 0x01;
        const RouterAdvert broken = decode_router_advert(bytes.data(), size, {255, kRouter, kAllNodes, true});
        check(has(broken, RaInvalid::kBadChecksum), "wrong checksum accepted");
    }
    return 0;
}
