// Windows Sockets implementation of the probe's IPv6 sockets: port 546 over UDP, one socket for every interface
// (Winsock cannot tie a socket to one), each SOLICIT sent out of its interface by IPV6_MULTICAST_IF. No raw ICMPv6:
// Winsock gives an ordinary program none with hop limit 255, so routers are not heard.
#include "net/ipv6_endpoints.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "common/dhcpv6_wire.h"

namespace {

// The one socket on [::]:546, shared by every interface's SOLICIT.
SOCKET shared_client = INVALID_SOCKET;

bool set_int(SOCKET handle, int level, int name, int value)
{
    return setsockopt(handle, level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

Ipv6Endpoint failed(SOCKET handle, Ipv6EndpointStep step)
{
    const int error = WSAGetLastError();
    if (handle != INVALID_SOCKET) closesocket(handle);
    return {kNoEndpoint, step, error};
}

}  // namespace

bool dhcpv6_client_supported()
{
    return true;
}

bool router_socket_supported()
{
    return false;
}

Ipv6Endpoint open_dhcpv6_client_endpoint(const char*, int)
{
    if (shared_client != INVALID_SOCKET) return {static_cast<Endpoint>(shared_client), Ipv6EndpointStep::none, 0};
    const SOCKET handle = socket(AF_INET6, SOCK_DGRAM, 0);
    if (handle == INVALID_SOCKET) return failed(handle, Ipv6EndpointStep::socket);
    if (!set_int(handle, IPPROTO_IPV6, IPV6_V6ONLY, 1)) return failed(handle, Ipv6EndpointStep::option);
    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    local.sin6_port = htons(kDhcpv6ClientPort);
    if (bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return failed(handle, Ipv6EndpointStep::bind);
    if (!set_int(handle, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, 1) ||
        !set_int(handle, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, 0))
        return failed(handle, Ipv6EndpointStep::option);
    shared_client = handle;
    return {static_cast<Endpoint>(handle), Ipv6EndpointStep::none, 0};
}

Ipv6Endpoint open_router_endpoint(const char*, int)
{
    return {kNoEndpoint, Ipv6EndpointStep::socket, WSAEOPNOTSUPP};
}

bool find_link_local(const char*, Ipv6Address&)
{
    return false;
}

int send_ipv6(Endpoint endpoint, const std::uint8_t* data, std::size_t length, const Ipv6Address& address,
              std::uint16_t port, int interface_index)
{
    const SOCKET handle = static_cast<SOCKET>(endpoint);
    if (is_multicast(address) && !set_int(handle, IPPROTO_IPV6, IPV6_MULTICAST_IF, interface_index)) return -1;
    sockaddr_in6 target{};
    target.sin6_family = AF_INET6;
    target.sin6_port = htons(port);
    std::memcpy(&target.sin6_addr, address.data(), address.size());
    target.sin6_scope_id = static_cast<ULONG>(interface_index);
    const int sent = sendto(handle, reinterpret_cast<const char*>(data), static_cast<int>(length), 0,
                            reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent == SOCKET_ERROR ? -1 : sent;
}

int receive_ipv6(Endpoint endpoint, std::uint8_t* buffer, std::size_t capacity, Ipv6Arrival& arrival)
{
    arrival = Ipv6Arrival{};
    sockaddr_in6 from{};
    int from_length = sizeof from;
    const int length = recvfrom(static_cast<SOCKET>(endpoint), reinterpret_cast<char*>(buffer),
                                static_cast<int>(capacity), 0, reinterpret_cast<sockaddr*>(&from), &from_length);
    const bool cut = length == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE;
    if (length == SOCKET_ERROR && !cut) return -1;
    std::memcpy(arrival.source.data(), &from.sin6_addr, arrival.source.size());
    arrival.port = ntohs(from.sin6_port);
    // A link-local source carries the index of the interface it came in on.
    arrival.interface_index = static_cast<int>(from.sin6_scope_id);
    arrival.truncated = cut;
    return cut ? static_cast<int>(capacity) : length;
}
