// The DHCPv6 SOLICIT: client DUID-LL, Elapsed Time, Option Request, IA_NA and optionally IA_PD.
#include "protocol/dhcpv6_solicit.h"

#include "common/dhcpv6_wire.h"

namespace {

constexpr std::size_t kDuidLinkLayerSize = 4 + 6;  // type, hardware type, Ethernet address
constexpr std::size_t kElapsedTimeSize = 2;
// DNS servers and the domain list are what the report shows; RFC 8415 section 18.2.1 makes a client
// ask for SOL_MAX_RT in every SOLICIT.
constexpr std::uint16_t kRequestedOptions[] = {kDhcpv6OptionDnsServers, kDhcpv6OptionDomainList, kDhcpv6OptionSolMaxRt};

struct Writer {
    std::uint8_t* out;
    std::size_t at;
};

void put8(Writer& w, std::uint8_t value)
{
    w.out[w.at++] = value;
}

void put16(Writer& w, std::uint16_t value)
{
    put8(w, static_cast<std::uint8_t>(value >> 8));
    put8(w, static_cast<std::uint8_t>(value & 0xff));
}

void put32(Writer& w, std::uint32_t value)
{
    put16(w, static_cast<std::uint16_t>(value >> 16));
    put16(w, static_cast<std::uint16_t>(value & 0xffff));
}

void put_option_header(Writer& w, std::uint16_t code, std::size_t length)
{
    put16(w, code);
    put16(w, static_cast<std::uint16_t>(length));
}

// IA_NA and IA_PD alike: IAID, T1 and T2 zero (the server chooses), and no addresses or prefixes inside,
// so the server offers what it would give rather than judging a hint.
void put_identity_association(Writer& w, std::uint16_t code, std::uint32_t iaid)
{
    put_option_header(w, code, kDhcpv6IaFixedSize);
    put32(w, iaid);
    put32(w, 0);
    put32(w, 0);
}

}  // namespace

std::size_t solicit_size(const SolicitFields& fields)
{
    const std::size_t ia = kDhcpv6OptionHeaderSize + kDhcpv6IaFixedSize;
    return kDhcpv6HeaderSize + kDhcpv6OptionHeaderSize + kDuidLinkLayerSize + kDhcpv6OptionHeaderSize +
           kElapsedTimeSize + kDhcpv6OptionHeaderSize + sizeof kRequestedOptions + ia +
           (fields.prefix_delegation ? ia : 0);
}

std::size_t build_solicit(const SolicitFields& fields, std::uint8_t* buffer, std::size_t capacity)
{
    const std::size_t size = solicit_size(fields);
    if (capacity < size) return 0;
    Writer w{buffer, 0};
    put8(w, kDhcpv6Solicit);
    for (const std::uint8_t byte : fields.transaction_id) put8(w, byte);

    put_option_header(w, kDhcpv6OptionClientId, kDuidLinkLayerSize);
    put16(w, kDuidLinkLayer);
    put16(w, kDuidHardwareEthernet);
    for (const std::uint8_t byte : fields.client_address) put8(w, byte);

    put_option_header(w, kDhcpv6OptionElapsedTime, kElapsedTimeSize);
    put16(w, fields.elapsed_hundredths);

    put_option_header(w, kDhcpv6OptionRequest, sizeof kRequestedOptions);
    for (const std::uint16_t code : kRequestedOptions) put16(w, code);

    put_identity_association(w, kDhcpv6OptionIaNa, fields.iaid);
    if (fields.prefix_delegation) put_identity_association(w, kDhcpv6OptionIaPd, fields.iaid);

    // No Rapid Commit option, ever: with it a server may skip the ADVERTISE and commit a lease in a
    // REPLY at once, and this probe must only look, never take an address or prefix from the network.
    return w.at;
}

std::vector<std::uint8_t> build_solicit(const SolicitFields& fields)
{
    std::vector<std::uint8_t> message(solicit_size(fields));
    build_solicit(fields, message.data(), message.size());
    return message;
}
