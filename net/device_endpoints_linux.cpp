// Linux implementation of the probe's socket calls: SO_BINDTODEVICE, IP_PKTINFO, poll and a connected
// socket's own address.
#include "net/device_endpoints.h"

#include "common/dhcp_wire.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void enable_pktinfo(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
}

// Ties fd to device. Since Linux 5.7 a socket not yet tied may be tied without any capability;
// older kernels ask for CAP_NET_RAW.
bool tie_to_device(int fd, const char* device)
{
    return setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device, static_cast<socklen_t>(std::strlen(device) + 1)) == 0;
}

int fail_with(int fd)
{
    const int saved = errno;
    if (fd >= 0) close(fd);
    errno = saved;
    return saved;
}

}  // namespace

bool interface_binding_supported()
{
    return true;
}

DeviceEndpoint open_device_endpoint(std::uint16_t port, const char* device)
{
    DeviceEndpoint result;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {kNoEndpoint, DeviceEndpointStep::bind, errno};
    if (!tie_to_device(fd, device)) return {kNoEndpoint, DeviceEndpointStep::device, fail_with(fd)};
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return {kNoEndpoint, DeviceEndpointStep::bind, fail_with(fd)};
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    enable_pktinfo(fd);
    result.endpoint = fd;
    return result;
}

bool report_arrival_interface(Endpoint endpoint)
{
    const int on = 1;
    return setsockopt(static_cast<int>(endpoint), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0;
}

bool report_kernel_drops(Endpoint endpoint)
{
    const int on = 1;
    return setsockopt(static_cast<int>(endpoint), SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) == 0;
}

int wait_for_datagram(const Endpoint* endpoints, std::size_t count, int timeout_ms)
{
    std::vector<pollfd> fds(count);
    for (std::size_t k = 0; k < count; ++k) fds[k] = pollfd{static_cast<int>(endpoints[k]), POLLIN, 0};
    const int ready = poll(fds.data(), fds.size(), timeout_ms);
    if (ready < 0) return errno == EINTR ? -1 : -2;
    for (std::size_t k = 0; k < count; ++k)
        if (fds[k].revents != 0) return static_cast<int>(k);
    return -1;
}

BroadcastRoute find_broadcast_route(const char* device)
{
    BroadcastRoute route;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        route.error_code = errno;
        return route;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (device != nullptr && !tie_to_device(fd, device)) {
        route.error_code = fail_with(fd);
        return route;
    }
    // Connecting a UDP socket only looks the route up and fixes the source address; nothing is sent.
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(kDhcpServerPort);
    target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    sockaddr_in local{};
    socklen_t local_length = sizeof local;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_length) != 0) {
        route.error_code = fail_with(fd);
        return route;
    }
    std::memcpy(route.source.data(), &local.sin_addr.s_addr, 4);
    route.found = true;
    close(fd);
    return route;
}
