// DHCPv6 unique identifiers (DUID, RFC 8415 section 11): their kind, link-layer address and hex text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Dhcpv6Duid {
    std::vector<std::uint8_t> bytes;  // the whole DUID as received, type included
    bool has_type = false;            // at least two bytes
    std::uint16_t type = 0;           // kDuidLinkLayerTime, kDuidLinkLayer, ...
    bool well_formed = false;         // long enough for its type and no longer than 130 bytes
    // DUID-LLT and DUID-LL: the hardware type and the address after it.
    bool has_link_layer = false;
    std::uint16_t hardware_type = 0;
    std::vector<std::uint8_t> link_layer_address;
    std::uint32_t time = 0;  // DUID-LLT only: seconds since 2000-01-01 UTC, modulo 2^32
};

// Reads a DUID from an option's value; never fails, a short or odd DUID is kept with well_formed false.
Dhcpv6Duid decode_duid(const std::uint8_t* data, std::size_t size);

// Lower-case hexadecimal, two digits a byte, no separators: "000300010242ac110002".
std::string duid_hex_text(const std::vector<std::uint8_t>& bytes);

// Reads hex text with or without ':' or '-' between byte pairs; false on anything else or on empty text.
bool parse_duid_hex(const std::string& text, std::vector<std::uint8_t>& bytes);
