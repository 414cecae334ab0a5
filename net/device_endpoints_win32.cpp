// Windows Sockets implementation of the probe's socket calls. Winsock cannot tie a socket to one
// interface nor (without WSARecvMsg) tell where a datagram came in; waiting uses select.
#include "net/device_endpoints.h"

#include "common/dhcp_wire.h"

#include <winsock2.h>

#include <windows.h>

#include <cstring>

bool interface_binding_supported()
{
    return false;
}

DeviceEndpoint open_device_endpoint(std::uint16_t, const char*)
{
    return {kNoEndpoint, DeviceEndpointStep::device, WSAEOPNOTSUPP};
}

bool report_arrival_interface(Endpoint)
{
    return false;
}

bool report_kernel_drops(Endpoint)
{
    return false;
}

int wait_for_datagram(const Endpoint* endpoints, std::size_t count, int timeout_ms)
{
    fd_set readable;
    FD_ZERO(&readable);
    for (std::size_t k = 0; k < count && k < FD_SETSIZE; ++k) FD_SET(static_cast<SOCKET>(endpoints[k]), &readable);
    timeval timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    const int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready == SOCKET_ERROR) return -2;
    for (std::size_t k = 0; k < count; ++k)
        if (FD_ISSET(static_cast<SOCKET>(endpoints[k]), &readable)) return static_cast<int>(k);
    return -1;
}

BroadcastRoute find_broadcast_route(const char* device)
{
    BroadcastRoute route;
    if (device != nullptr) {
        route.error_code = WSAEOPNOTSUPP;
        return route;
    }
    const SOCKET handle = socket(AF_INET, SOCK_DGRAM, 0);
    if (handle == INVALID_SOCKET) {
        route.error_code = WSAGetLastError();
        return route;
    }
    BOOL on = TRUE;
    setsockopt(handle, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    // Connecting a UDP socket only looks the route up and fixes the source address; nothing is sent.
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(kDhcpServerPort);
    target.sin_addr.s_addr = INADDR_BROADCAST;
    sockaddr_in local{};
    int local_length = sizeof local;
    if (connect(handle, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 ||
        getsockname(handle, reinterpret_cast<sockaddr*>(&local), &local_length) != 0) {
        route.error_code = WSAGetLastError();
        closesocket(handle);
        return route;
    }
    std::memcpy(route.source.data(), &local.sin_addr.s_addr, 4);
    route.found = true;
    closesocket(handle);
    return route;
}
