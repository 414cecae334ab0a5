// Windows Sockets implementation of the socket library and the UDP endpoints.
#include "net/network.h"

#include <windows.h>
#include <winsock2.h>

#include <cstring>

static_assert(sizeof(WSADATA) <= sizeof(SocketLibraryState::bytes), "the socket library's record must fit its storage");

int start_network(SocketLibraryState& state)
{
    return WSAStartup(0x0002, reinterpret_cast<WSADATA*>(state.bytes)) != 0 ? 1 : 0;
}

void stop_network()
{
    // Releases every socket and breaks off a receive that another thread has in progress.
    WSACleanup();
}

Endpoint open_udp_endpoint(std::uint16_t port)
{
    const SOCKET handle = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = 0;
    if (bind(handle, reinterpret_cast<const sockaddr*>(&local), 16) != 0) return kNoEndpoint;
    int on = 1;
    setsockopt(handle, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), 4);
    return static_cast<Endpoint>(handle);
}

void close_udp_endpoint(Endpoint endpoint)
{
    if (endpoint == kNoEndpoint) return;
    closesocket(static_cast<SOCKET>(endpoint));
}

int send_datagram(Endpoint endpoint, const std::uint8_t* data, std::size_t length, const Ipv4Address& address,
                  std::uint16_t port)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    std::memcpy(&target.sin_addr.s_addr, address.data(), 4);
    return sendto(static_cast<SOCKET>(endpoint), reinterpret_cast<const char*>(data), static_cast<int>(length), 0,
                  reinterpret_cast<const sockaddr*>(&target), 16);
}

int receive_datagram(Endpoint endpoint, std::uint8_t* buffer, std::size_t capacity, Arrival* arrival)
{
    if (arrival != nullptr) *arrival = Arrival{};
    sockaddr_in sender{};
    int sender_length = 16;
    // A longer datagram fails with WSAEMSGSIZE and leaves its first capacity bytes in the buffer.
    const int received = recvfrom(static_cast<SOCKET>(endpoint), reinterpret_cast<char*>(buffer),
                                  static_cast<int>(capacity), 0, reinterpret_cast<sockaddr*>(&sender), &sender_length);
    const bool truncated = received == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE;
    if (arrival != nullptr && (received != SOCKET_ERROR || truncated)) {
        std::memcpy(arrival->source.address.data(), &sender.sin_addr.s_addr, 4);
        arrival->source.port = ntohs(sender.sin_port);
        arrival->truncated = truncated;
        // Winsock does not say how long a datagram it cut short was.
        if (!truncated) arrival->datagram_length = received;
    }
    return received == SOCKET_ERROR ? -1 : received;
}

int last_network_error()
{
    return WSAGetLastError();
}

std::string network_error_text(int code)
{
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string result(text, length);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.'))
        result.pop_back();
    return result.empty() ? "error " + std::to_string(code) : result;
}

bool is_permission_error(int code)
{
    return code == WSAEACCES;
}

bool is_address_in_use(int code)
{
    return code == WSAEADDRINUSE;
}
