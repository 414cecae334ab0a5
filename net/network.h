// The socket library and the UDP endpoints; one implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/ipv4.h"

// A socket handle of the platform's socket library; kNoEndpoint when opening failed.
using Endpoint = std::intptr_t;
inline constexpr Endpoint kNoEndpoint = -1;

// Storage for the record the socket library fills at start-up (WSADATA on Windows).
struct SocketLibraryState {
    alignas(8) std::uint8_t bytes[512];
};

// Starts the socket library into state; 0 on success, 1 when it cannot be started.
int start_network(SocketLibraryState& state);

// Shuts the socket library down and breaks off any receive that another thread
// has blocked on an endpoint. Harmless when called more than once.
void stop_network();

// Binds a UDP socket to 0.0.0.0:port with broadcasting allowed; kNoEndpoint when the bind fails.
// No address reuse is asked for, so a port that another socket holds cannot be taken.
Endpoint open_udp_endpoint(std::uint16_t port);

// Releases an endpoint before the end of the process (the window programs never do).
void close_udp_endpoint(Endpoint endpoint);

// Sends one datagram to address:port; the bytes sent, or -1.
int send_datagram(Endpoint endpoint, const std::uint8_t* data, std::size_t length, const Ipv4Address& address,
                  std::uint16_t port);

struct DatagramSource {
    Ipv4Address address{};
    std::uint16_t port = 0;
};

// What a receive learned about a datagram beyond its bytes.
struct Arrival {
    DatagramSource source;
    bool truncated = false;  // longer than the buffer, which holds its first bytes
    // The datagram's own length, also when it was longer than the buffer; -1 where the platform cannot
    // tell (Winsock does not say how long a datagram it cut short was).
    long long datagram_length = -1;
    char interface_name[32] = {};  // where it came in; empty unless the endpoint reports it and the platform can
    // Datagrams the kernel dropped on this endpoint for want of room, counted since it opened, as of
    // this one; -1 when no count came with it. An endpoint that asked (report_kernel_drops) gets one
    // with each datagram queued after the first drop; before that none, which means none dropped.
    long long kernel_drops = -1;
};

// Blocks until one datagram arrives and copies at most capacity bytes of it into buffer.
// Returns its length, or -1 when the receive failed: an error, a datagram longer than
// capacity (its first capacity bytes are in buffer, and arrival->truncated says so), or a
// receive broken off by stop_network. arrival, when not null, is filled on every return.
int receive_datagram(Endpoint endpoint, std::uint8_t* buffer, std::size_t capacity, Arrival* arrival = nullptr);

// The error code of the last failed socket call on this thread, and its text.
int last_network_error();
std::string network_error_text(int code);

// True when code says the caller lacks the right to bind a privileged port.
bool is_permission_error(int code);

// True when code says another socket holds the port.
bool is_address_in_use(int code);
