// Linux implementation of the probe's IPv6 sockets: [::]:546 tied to a device, raw ICMPv6 with ICMP6_FILTER.
#include "net/ipv6_endpoints.h"

#include <ifaddrs.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/dhcpv6_wire.h"

namespace {

Ipv6Endpoint failed(int fd, Ipv6EndpointStep step)
{
    const int saved = errno;
    if (fd >= 0) close(fd);
    return {kNoEndpoint, step, saved};
}

bool tie_to_device(int fd, const char* device)
{
    return setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device, static_cast<socklen_t>(std::strlen(device) + 1)) == 0;
}

bool set_int(int fd, int level, int name, int value)
{
    return setsockopt(fd, level, name, &value, sizeof value) == 0;
}

}  // namespace

bool dhcpv6_client_supported()
{
    return true;
}

bool router_socket_supported()
{
    return true;
}

Ipv6Endpoint open_dhcpv6_client_endpoint(const char* device, int interface_index)
{
    const int fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return failed(fd, Ipv6EndpointStep::socket);
    if (!tie_to_device(fd, device)) return failed(fd, Ipv6EndpointStep::device);
    if (!set_int(fd, IPPROTO_IPV6, IPV6_V6ONLY, 1)) return failed(fd, Ipv6EndpointStep::option);
    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    local.sin6_port = htons(kDhcpv6ClientPort);
    local.sin6_scope_id = static_cast<std::uint32_t>(interface_index);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return failed(fd, Ipv6EndpointStep::bind);
    if (!set_int(fd, IPPROTO_IPV6, IPV6_MULTICAST_IF, interface_index) ||
        !set_int(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, 1) || !set_int(fd, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, 0))
        return failed(fd, Ipv6EndpointStep::option);
    set_int(fd, SOL_SOCKET, SO_RXQ_OVFL, 1);
    return {fd, Ipv6EndpointStep::none, 0};
}

Ipv6Endpoint open_router_endpoint(const char* device, int interface_index)
{
    const int fd = socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (fd < 0) return failed(fd, Ipv6EndpointStep::socket);
    if (!tie_to_device(fd, device)) return failed(fd, Ipv6EndpointStep::device);
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(kIcmpv6RouterAdvertisement, &filter);
    if (setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) != 0 ||
        !set_int(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1) || !set_int(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, 1) ||
        !set_int(fd, IPPROTO_IPV6, IPV6_MULTICAST_IF, interface_index) ||
        !set_int(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, 255) || !set_int(fd, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, 0))
        return failed(fd, Ipv6EndpointStep::option);
    set_int(fd, SOL_SOCKET, SO_RXQ_OVFL, 1);
    return {fd, Ipv6EndpointStep::none, 0};
}

bool find_link_local(const char* device, Ipv6Address& address)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool found = false;
    for (const ifaddrs* item = list; item != nullptr && !found; item = item->ifa_next) {
        if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET6 || item->ifa_name == nullptr ||
            std::strcmp(item->ifa_name, device) != 0)
            continue;
        sockaddr_in6 local{};
        std::memcpy(&local, item->ifa_addr, sizeof local);
        Ipv6Address candidate{};
        std::memcpy(candidate.data(), &local.sin6_addr, candidate.size());
        if (!is_link_local(candidate)) continue;
        address = candidate;
        found = true;
    }
    freeifaddrs(list);
    return found;
}

int send_ipv6(Endpoint endpoint, const std::uint8_t* data, std::size_t length, const Ipv6Address& address,
              std::uint16_t port, int interface_index)
{
    sockaddr_in6 target{};
    target.sin6_family = AF_INET6;
    target.sin6_port = htons(port);
    std::memcpy(&target.sin6_addr, address.data(), address.size());
    target.sin6_scope_id = static_cast<std::uint32_t>(interface_index);
    const ssize_t sent =
        sendto(static_cast<int>(endpoint), data, length, 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

int receive_ipv6(Endpoint endpoint, std::uint8_t* buffer, std::size_t capacity, Ipv6Arrival& arrival)
{
    arrival = Ipv6Arrival{};
    sockaddr_in6 from{};
    iovec span{buffer, capacity};
    alignas(cmsghdr) char control[256];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &span;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // MSG_TRUNC: the datagram's own length, also when it was longer than the buffer.
    const ssize_t length = recvmsg(static_cast<int>(endpoint), &message, MSG_TRUNC | MSG_DONTWAIT);
    if (length < 0) return -1;
    std::memcpy(arrival.source.data(), &from.sin6_addr, arrival.source.size());
    arrival.port = ntohs(from.sin6_port);
    arrival.interface_index = static_cast<int>(from.sin6_scope_id);
    arrival.datagram_length = length;
    arrival.truncated = static_cast<std::size_t>(length) > capacity || (message.msg_flags & MSG_TRUNC) != 0;
    for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr; item = CMSG_NXTHDR(&message, item)) {
        if (item->cmsg_level == IPPROTO_IPV6 && item->cmsg_type == IPV6_HOPLIMIT) {
            int hops = 0;
            std::memcpy(&hops, CMSG_DATA(item), sizeof hops);
            arrival.hop_limit = hops;
        } else if (item->cmsg_level == IPPROTO_IPV6 && item->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(item), sizeof info);
            std::memcpy(arrival.destination.data(), &info.ipi6_addr, arrival.destination.size());
            arrival.has_destination = true;
            arrival.interface_index = static_cast<int>(info.ipi6_ifindex);
        } else if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SO_RXQ_OVFL) {
            std::uint32_t drops = 0;
            std::memcpy(&drops, CMSG_DATA(item), sizeof drops);
            arrival.kernel_drops = drops;
        }
    }
    if (arrival.truncated) return static_cast<int>(capacity);
    return static_cast<int>(length);
}
