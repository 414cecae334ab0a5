// Socket calls beyond the window programs' endpoints: sockets tied to one interface, asking for the
// interface a datagram came in on, waiting on several endpoints at once, and the way the limited
// broadcast leaves the host. One implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/network.h"

// True when this platform can tie a socket to one interface (SO_BINDTODEVICE on Linux).
bool interface_binding_supported();

enum class DeviceEndpointStep { none, device, bind };

struct DeviceEndpoint {
    Endpoint endpoint = kNoEndpoint;
    DeviceEndpointStep failed_step = DeviceEndpointStep::none;
    int error_code = 0;
};

// A UDP socket on 0.0.0.0:port tied to interface device before it binds, so that sockets of other
// interfaces can hold the same port; broadcasting is allowed and arrivals report their interface.
DeviceEndpoint open_device_endpoint(std::uint16_t port, const char* device);

// Asks an endpoint to tell the interface each datagram came in on; false where the platform cannot.
bool report_arrival_interface(Endpoint endpoint);

// Asks an endpoint to tell, with each datagram, how many the kernel dropped on it for want of room
// (SO_RXQ_OVFL on Linux); false where the platform cannot.
bool report_kernel_drops(Endpoint endpoint);

// Waits up to timeout_ms for a datagram on any of count endpoints. Returns the index of a ready one,
// -1 when the time ran out or a signal broke the wait off, -2 on an error.
int wait_for_datagram(const Endpoint* endpoints, std::size_t count, int timeout_ms);

struct BroadcastRoute {
    bool found = false;
    Ipv4Address source{};  // the address the host sends the limited broadcast from
    int error_code = 0;    // why no route was found
};

// Which source address the host picks for 255.255.255.255:67 (through device when it is not null),
// read from a connected UDP socket. Sends nothing.
BroadcastRoute find_broadcast_route(const char* device);
