// DHCPv6 unique identifiers: decoding by type and their hex text.
#include "protocol/dhcpv6_duid.h"

#include "common/dhcpv6_wire.h"
#include "common/hex_digits.h"

namespace {

std::uint16_t read16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

Dhcpv6Duid decode_duid(const std::uint8_t* data, std::size_t size)
{
    Dhcpv6Duid duid;
    duid.bytes.assign(data, data + size);
    if (size < 2) return duid;
    duid.has_type = true;
    duid.type = read16(data);
    std::size_t address_at = 0;
    std::size_t minimum = 2;
    switch (duid.type) {
        // The link-layer kinds need at least one address byte after their fixed part.
        case kDuidLinkLayerTime:
            address_at = 8;
            minimum = 9;
            break;
        case kDuidLinkLayer:
            address_at = 4;
            minimum = 5;
            break;
        case kDuidEnterprise: minimum = 6; break;
        case kDuidUuid: minimum = 18; break;
        default: break;
    }
    duid.well_formed = size >= minimum && size <= kDuidMaxSize && (duid.type != kDuidUuid || size == 18);
    if (address_at != 0 && size >= address_at) {
        duid.has_link_layer = true;
        duid.hardware_type = read16(data + 2);
        if (duid.type == kDuidLinkLayerTime)
            duid.time = static_cast<std::uint32_t>(data[4]) << 24 | static_cast<std::uint32_t>(data[5]) << 16 |
                        static_cast<std::uint32_t>(data[6]) << 8 | data[7];
        duid.link_layer_address.assign(data + address_at, data + size);
    }
    return duid;
}

std::string duid_hex_text(const std::vector<std::uint8_t>& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0f];
    }
    return text;
}

bool parse_duid_hex(const std::string& text, std::vector<std::uint8_t>& bytes)
{
    // Either "0003..." or one separator between every pair: "00:03:..." or "00-03-...".
    const char separator = text.size() > 2 && (text[2] == ':' || text[2] == '-') ? text[2] : 0;
    const std::size_t stride = separator != 0 ? 3 : 2;
    if (text.empty() || (text.size() + (separator != 0 ? 1 : 0)) % stride != 0) return false;
    std::vector<std::uint8_t> parsed;
    for (std::size_t at = 0; at < text.size(); at += stride) {
        const int high = hex_digit_value(text[at]);
        const int low = hex_digit_value(text[at + 1]);
        if (high < 0 || low < 0) return false;
        if (separator != 0 && at + 2 < text.size() && text[at + 2] != separator) return false;
        parsed.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    bytes = parsed;
    return true;
}
