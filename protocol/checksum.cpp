// The Internet checksum (RFC 1071) and the pseudo-headers that UDP and ICMPv6 fold into it.
#include "protocol/checksum.h"

namespace {

constexpr std::uint8_t kProtocolUdp = 17;

std::uint32_t add_word(std::uint32_t sum, std::uint32_t word)
{
    sum += word;
    return (sum & 0xFFFF) + (sum >> 16);
}

}  // namespace

std::uint32_t checksum_add(std::uint32_t sum, const std::uint8_t* data, std::size_t length)
{
    std::size_t at = 0;
    for (; at + 1 < length; at += 2) sum = add_word(sum, static_cast<std::uint32_t>(data[at] << 8 | data[at + 1]));
    if (at < length) sum = add_word(sum, static_cast<std::uint32_t>(data[at] << 8));
    return sum;
}

std::uint16_t checksum_finish(std::uint32_t sum)
{
    while ((sum >> 16) != 0) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::uint16_t ipv4_header_checksum(const std::uint8_t* header, std::size_t length)
{
    return checksum_finish(checksum_add(0, header, length));
}

std::uint16_t udp_ipv4_checksum(const std::array<std::uint8_t, 4>& source,
                                const std::array<std::uint8_t, 4>& destination, const std::uint8_t* datagram,
                                std::size_t length)
{
    std::uint32_t sum = checksum_add(0, source.data(), source.size());
    sum = checksum_add(sum, destination.data(), destination.size());
    sum = add_word(sum, kProtocolUdp);
    sum = add_word(sum, static_cast<std::uint32_t>(length & 0xFFFF));
    const std::uint16_t result = checksum_finish(checksum_add(sum, datagram, length));
    return result == 0 ? 0xFFFF : result;
}

std::uint16_t ipv6_upper_layer_checksum(const std::array<std::uint8_t, 16>& source,
                                        const std::array<std::uint8_t, 16>& destination, std::uint8_t next_header,
                                        const std::uint8_t* packet, std::size_t length)
{
    std::uint32_t sum = checksum_add(0, source.data(), source.size());
    sum = checksum_add(sum, destination.data(), destination.size());
    sum = add_word(sum, static_cast<std::uint32_t>(length >> 16));
    sum = add_word(sum, static_cast<std::uint32_t>(length & 0xFFFF));
    sum = add_word(sum, next_header);
    return checksum_finish(checksum_add(sum, packet, length));
}
