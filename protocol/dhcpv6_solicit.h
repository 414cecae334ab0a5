// The DHCPv6 SOLICIT that asks every server on the link to advertise itself (RFC 8415 section 18.2.1).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/ethernet.h"

struct SolicitFields {
    std::array<std::uint8_t, 3> transaction_id{};
    HardwareAddress client_address{};      // the client DUID is DUID-LL of this Ethernet address
    std::uint16_t elapsed_hundredths = 0;  // Elapsed Time: 0 on the first transmission
    std::uint32_t iaid = 0;                // IAID of the IA_NA, and of the IA_PD when one is asked for
    bool prefix_delegation = false;        // add an IA_PD
};

// The size of the SOLICIT for these fields.
std::size_t solicit_size(const SolicitFields& fields);

// Writes the SOLICIT into buffer; returns its size, or 0 (nothing written) when capacity is too small.
std::size_t build_solicit(const SolicitFields& fields, std::uint8_t* buffer, std::size_t capacity);

std::vector<std::uint8_t> build_solicit(const SolicitFields& fields);
