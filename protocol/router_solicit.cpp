// The Router Solicitation: type 133, code 0, and an optional Source Link-Layer Address option.
#include "protocol/router_solicit.h"

#include "common/dhcpv6_wire.h"
#include "protocol/checksum.h"

namespace {

constexpr std::size_t kLinkLayerOptionSize = 8;  // type, length 1, six address bytes

}  // namespace

std::size_t router_solicitation_size(const RouterSolicitationFields& fields)
{
    return kRouterSolicitationSize + (fields.has_source_link_layer ? kLinkLayerOptionSize : 0);
}

std::size_t build_router_solicitation(const RouterSolicitationFields& fields, std::uint8_t* buffer,
                                      std::size_t capacity)
{
    const std::size_t size = router_solicitation_size(fields);
    if (capacity < size) return 0;
    for (std::size_t i = 0; i < size; ++i) buffer[i] = 0;
    buffer[0] = kIcmpv6RouterSolicitation;
    if (fields.has_source_link_layer) {
        buffer[kRouterSolicitationSize] = kNdOptionSourceLinkLayer;
        buffer[kRouterSolicitationSize + 1] = kLinkLayerOptionSize / kNdOptionUnit;
        for (std::size_t i = 0; i < fields.source_link_layer.size(); ++i)
            buffer[kRouterSolicitationSize + 2 + i] = fields.source_link_layer[i];
    }
    if (fields.fill_checksum) {
        const std::uint16_t sum =
            ipv6_upper_layer_checksum(fields.source, fields.destination, kNextHeaderIcmpv6, buffer, size);
        buffer[kIcmpv6ChecksumOffset] = static_cast<std::uint8_t>(sum >> 8);
        buffer[kIcmpv6ChecksumOffset + 1] = static_cast<std::uint8_t>(sum & 0xff);
    }
    return size;
}

std::vector<std::uint8_t> build_router_solicitation(const RouterSolicitationFields& fields)
{
    std::vector<std::uint8_t> message(router_solicitation_size(fields));
    build_router_solicitation(fields, message.data(), message.size());
    return message;
}
