// The probe's IPv6 sockets: the DHCPv6 client port of one interface and a raw ICMPv6 socket for router
// solicitations and advertisements. One implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/ipv6.h"
#include "net/network.h"

// True where this platform can send a SOLICIT from port 546 of one interface (Linux, Winsock).
bool dhcpv6_client_supported();
// True where an ordinary program can open a raw ICMPv6 socket with hop limit 255 (Linux; not Winsock).
bool router_socket_supported();

enum class Ipv6EndpointStep { none, socket, device, bind, option };

struct Ipv6Endpoint {
    Endpoint endpoint = kNoEndpoint;
    Ipv6EndpointStep failed_step = Ipv6EndpointStep::none;
    int error_code = 0;
};

// A UDP socket on [::]:546 tied to the interface (device and its index), IPv6 only, multicast out of that
// interface with hop limit 1.
Ipv6Endpoint open_dhcpv6_client_endpoint(const char* device, int interface_index);

// A raw ICMPv6 socket tied to the interface that passes only Router Advertisements up, tells each one's hop
// limit and addresses, and sends multicast with hop limit 255 (RFC 4861: routers drop anything else).
Ipv6Endpoint open_router_endpoint(const char* device, int interface_index);

// The interface's link-local address, which hand-built frames (--capture) send from; false when it has none.
bool find_link_local(const char* device, Ipv6Address& address);

// Sends data to address:port (port 0 for the raw socket) on the interface; the bytes sent, or -1.
int send_ipv6(Endpoint endpoint, const std::uint8_t* data, std::size_t length, const Ipv6Address& address,
              std::uint16_t port, int interface_index);

struct Ipv6Arrival {
    Ipv6Address source{};
    std::uint16_t port = 0;
    bool has_destination = false;  // the raw socket: from IPV6_PKTINFO
    Ipv6Address destination{};
    int hop_limit = -1;  // -1 when the platform did not say
    int interface_index = 0;
    bool truncated = false;
    long long datagram_length = -1;
    long long kernel_drops = -1;
};

// Takes one datagram (or ICMPv6 message) of at most capacity bytes; its length, or -1 on failure.
int receive_ipv6(Endpoint endpoint, std::uint8_t* buffer, std::size_t capacity, Ipv6Arrival& arrival);
