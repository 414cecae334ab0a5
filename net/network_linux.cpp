// Linux implementation of the socket library and the UDP endpoints.
#include "net/network.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "net/network_stop_linux.h"

namespace {

// Sockets a later stop_network must wake. A closed socket does not wake a recvmsg that is
// blocked on it under Linux, but shutdown does, so every endpoint is remembered here.
constexpr int kMaxEndpoints = 64;
std::atomic<int> open_endpoints[kMaxEndpoints];
std::atomic<bool> network_stopped{false};

}  // namespace

void remember_endpoint(int fd)
{
    for (auto& slot : open_endpoints) {
        int expected = 0;
        // Slots hold fd + 1 so that a zeroed slot means free.
        if (slot.compare_exchange_strong(expected, fd + 1)) return;
    }
}

namespace {

// The arrival interface (IP_PKTINFO) and the kernel's drop count (SO_RXQ_OVFL), for endpoints that asked.
void note_control_messages(msghdr& message, Arrival& arrival)
{
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SO_RXQ_OVFL) {
            std::uint32_t drops = 0;
            std::memcpy(&drops, CMSG_DATA(header), sizeof drops);
            arrival.kernel_drops = drops;
        }
        if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(header), sizeof info);
        char name[IF_NAMESIZE] = {};
        if (if_indextoname(static_cast<unsigned>(info.ipi_ifindex), name) != nullptr)
            std::snprintf(arrival.interface_name, sizeof arrival.interface_name, "%s", name);
    }
}

}  // namespace

void forget_endpoint(int fd)
{
    for (auto& slot : open_endpoints) {
        int expected = fd + 1;
        if (slot.compare_exchange_strong(expected, 0)) return;
    }
}

bool network_was_stopped()
{
    return network_stopped.load();
}

int network_stop_event()
{
    // One for the process: a new run empties it again.
    static const int event = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return event;
}

int start_network(SocketLibraryState&)
{
    // There is no library to start; a new run may follow a stop in the same process.
    network_stopped.store(false);
    std::uint64_t stops = 0;
    [[maybe_unused]] const ssize_t emptied = read(network_stop_event(), &stops, sizeof stops);
    return 0;
}

void stop_network()
{
    network_stopped.store(true);
    const std::uint64_t stop = 1;
    [[maybe_unused]] const ssize_t signalled = write(network_stop_event(), &stop, sizeof stop);
    for (auto& slot : open_endpoints) {
        const int value = slot.load();
        // Unconnected UDP sockets answer ENOTCONN but are shut down all the same,
        // which makes a blocked recvmsg return 0 at once.
        if (value != 0) shutdown(value - 1, SHUT_RDWR);
    }
}

Endpoint open_udp_endpoint(std::uint16_t port)
{
    // Close-on-exec: a child the program starts (a browser, an --on-change command) must not keep the port.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int saved = errno;
        if (fd >= 0) close(fd);
        errno = saved;
        return kNoEndpoint;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    remember_endpoint(fd);
    return fd;
}

void close_udp_endpoint(Endpoint endpoint)
{
    if (endpoint < 0) return;
    forget_endpoint(static_cast<int>(endpoint));
    close(static_cast<int>(endpoint));
}

int send_datagram(Endpoint endpoint, const std::uint8_t* data, std::size_t length, const Ipv4Address& address,
                  std::uint16_t port)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    std::memcpy(&target.sin_addr.s_addr, address.data(), 4);
    const ssize_t sent =
        sendto(static_cast<int>(endpoint), data, length, 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

int receive_datagram(Endpoint endpoint, std::uint8_t* buffer, std::size_t capacity, Arrival* arrival)
{
    if (arrival != nullptr) *arrival = Arrival{};
    sockaddr_in sender{};
    iovec vector{buffer, capacity};
    // Room for the arrival interface and the drop count, which endpoints that asked for them report.
    alignas(cmsghdr) std::uint8_t control[CMSG_SPACE(sizeof(in_pktinfo)) + CMSG_SPACE(sizeof(std::uint32_t))];
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t received;
    do {
        // MSG_TRUNC: a UDP receive then returns the datagram's own length, also when it was longer.
        received = recvmsg(static_cast<int>(endpoint), &message, MSG_TRUNC);
    } while (received < 0 && errno == EINTR && !network_stopped.load());
    if (received < 0) return -1;
    // A shut-down socket reads as an empty datagram; after stop_network that is the break-off.
    if (received == 0 && network_stopped.load()) {
        errno = ESHUTDOWN;
        return -1;
    }
    const bool truncated = (message.msg_flags & MSG_TRUNC) != 0;
    if (arrival != nullptr) {
        std::memcpy(arrival->source.address.data(), &sender.sin_addr.s_addr, 4);
        arrival->source.port = ntohs(sender.sin_port);
        arrival->truncated = truncated;
        arrival->datagram_length = received;
        note_control_messages(message, *arrival);
    }
    // Linux cuts a longer datagram silently; Winsock fails such a receive, and so do we.
    if (truncated) {
        errno = EMSGSIZE;
        return -1;
    }
    return static_cast<int>(received);
}

int last_network_error()
{
    return errno;
}

std::string network_error_text(int code)
{
    return std::strerror(code);
}

bool is_permission_error(int code)
{
    return code == EACCES || code == EPERM;
}

bool is_address_in_use(int code)
{
    return code == EADDRINUSE;
}
