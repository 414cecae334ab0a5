// The ICMPv6 Router Solicitation (RFC 4861 section 4.1) that asks every router on the link to advertise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/ethernet.h"
#include "common/ipv6.h"

struct RouterSolicitationFields {
    // The Source Link-Layer Address option; RFC 4861 forbids it when the source is the unspecified address.
    bool has_source_link_layer = false;
    HardwareAddress source_link_layer{};
    // A raw ICMPv6 socket fills the checksum itself, so by default it is left 0. A frame built by hand
    // needs it computed over these addresses.
    bool fill_checksum = false;
    Ipv6Address source{};
    Ipv6Address destination = kAllRouters;
};

std::size_t router_solicitation_size(const RouterSolicitationFields& fields);

// Writes the ICMPv6 message into buffer; returns its size, or 0 (nothing written) when capacity is too small.
std::size_t build_router_solicitation(const RouterSolicitationFields& fields, std::uint8_t* buffer,
                                      std::size_t capacity);

std::vector<std::uint8_t> build_router_solicitation(const RouterSolicitationFields& fields);
