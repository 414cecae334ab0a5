// Windows implementation of the probe's IPv6 sockets: none yet. Raw ICMPv6 with hop limit 255 is not open to
// an ordinary program under Winsock, and the probe refuses -6 there before it gets here.
#include "net/ipv6_endpoints.h"

bool dhcpv6_client_supported()
{
    return false;
}

bool router_socket_supported()
{
    return false;
}

Ipv6Endpoint open_dhcpv6_client_endpoint(const char*, int)
{
    return {kNoEndpoint, Ipv6EndpointStep::socket, 0};
}

Ipv6Endpoint open_router_endpoint(const char*, int)
{
    return {kNoEndpoint, Ipv6EndpointStep::socket, 0};
}

bool find_link_local(const char*, Ipv6Address&)
{
    return false;
}

int send_ipv6(Endpoint, const std::uint8_t*, std::size_t, const Ipv6Address&, std::uint16_t, int)
{
    return -1;
}

int receive_ipv6(Endpoint, std::uint8_t*, std::size_t, Ipv6Arrival& arrival)
{
    arrival = Ipv6Arrival{};
    return -1;
}
