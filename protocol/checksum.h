// The Internet checksum (RFC 1071) and the pseudo-headers that UDP and ICMPv6 fold into it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Adds length bytes to a running one's-complement sum, as 16-bit big-endian words; an odd last byte
// is padded with zero. Chain calls only when every range but the last has an even length.
std::uint32_t checksum_add(std::uint32_t sum, const std::uint8_t* data, std::size_t length);

// Folds a running sum to 16 bits and complements it: the value a header carries.
std::uint16_t checksum_finish(std::uint32_t sum);

// The checksum of an IPv4 header of length bytes whose checksum field holds zero (or, to verify,
// the header as received: a correct one gives 0).
std::uint16_t ipv4_header_checksum(const std::uint8_t* header, std::size_t length);

// The UDP checksum over the IPv4 pseudo-header and the whole UDP datagram (header and payload) of
// length bytes. A result of 0 is sent as 0xFFFF (RFC 768); 0 on the wire means "none".
std::uint16_t udp_ipv4_checksum(const std::array<std::uint8_t, 4>& source,
                                const std::array<std::uint8_t, 4>& destination, const std::uint8_t* datagram,
                                std::size_t length);

// The checksum of an upper-layer packet over IPv6 (UDP or ICMPv6, RFC 8200 section 8.1).
std::uint16_t ipv6_upper_layer_checksum(const std::array<std::uint8_t, 16>& source,
                                        const std::array<std::uint8_t, 16>& destination, std::uint8_t next_header,
                                        const std::uint8_t* packet, std::size_t length);
