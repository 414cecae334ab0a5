// A DHCP server of the lab's own that ignores the broadcast flag (Linux): it answers every DISCOVER on its link
// with an OFFER sent by Ethernet unicast to the chaddr and by IP to the offered address, as some real servers do.
// Usage: unicast_responder IFACE SERVER_IP OFFER_IP [--ready FILE]    (test equipment: run only inside a lab)
// It never answers a chaddr of its own interface, and prints one line per OFFER.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "lab_frame.h"

namespace {

constexpr std::size_t kBootpFixed = 236;  // up to the magic cookie
constexpr std::size_t kBootpMinimum = 300;

int read16(const std::uint8_t* at)
{
    return (at[0] << 8) | at[1];
}

// The DHCP message of a DISCOVER in an untagged frame, or nullptr; its length in dhcp_length.
const std::uint8_t* discover_in(const std::uint8_t* frame, std::size_t length, std::size_t& dhcp_length)
{
    if (length < kLabEthernetHeader + 20 || read16(frame + 12) != 0x0800) return nullptr;
    const std::uint8_t* ip = frame + kLabEthernetHeader;
    const std::size_t ip_room = length - kLabEthernetHeader;
    const std::size_t header = static_cast<std::size_t>(ip[0] & 0x0F) * 4;
    const std::size_t total = static_cast<std::size_t>(read16(ip + 2));
    if ((ip[0] >> 4) != 4 || header < 20 || total > ip_room || total < header + 8 || ip[9] != 17) return nullptr;
    if ((read16(ip + 6) & 0x3FFF) != 0) return nullptr;  // a fragment
    const std::uint8_t* udp = ip + header;
    const std::size_t udp_length = static_cast<std::size_t>(read16(udp + 4));
    if (read16(udp + 2) != 67 || udp_length < 8 || udp_length > total - header) return nullptr;
    const std::uint8_t* dhcp = udp + 8;
    dhcp_length = udp_length - 8;
    if (dhcp_length < kBootpFixed + 4 || dhcp[0] != 1 || dhcp[1] != 1 || dhcp[2] != 6) return nullptr;
    if (std::memcmp(dhcp + kBootpFixed, "\x63\x82\x53\x63", 4) != 0) return nullptr;
    for (std::size_t at = kBootpFixed + 4; at < dhcp_length;) {
        const std::uint8_t code = dhcp[at];
        if (code == 0) {
            ++at;
            continue;
        }
        if (code == 255 || at + 1 >= dhcp_length) break;
        const std::size_t size = dhcp[at + 1];
        if (at + 2 + size > dhcp_length) break;
        if (code == 53 && size == 1) return dhcp[at + 2] == 1 ? dhcp : nullptr;
        at += 2 + size;
    }
    return nullptr;
}

std::vector<std::uint8_t> offer_for(const std::uint8_t* discover, const LabIp& server, const LabIp& offered)
{
    std::vector<std::uint8_t> offer(kBootpMinimum, 0);
    offer[0] = 2;  // BOOTREPLY
    offer[1] = 1;
    offer[2] = 6;
    std::memcpy(offer.data() + 4, discover + 4, 4);    // xid
    std::memcpy(offer.data() + 10, discover + 10, 2);  // flags, broadcast bit and all, which this server then ignores
    std::memcpy(offer.data() + 16, offered.data(), 4);
    std::memcpy(offer.data() + 24, discover + 24, 4);  // giaddr
    std::memcpy(offer.data() + 28, discover + 28, 16);
    std::size_t at = kBootpFixed;
    const auto put = [&offer, &at](std::initializer_list<std::uint8_t> bytes) {
        for (const std::uint8_t byte : bytes) offer[at++] = byte;
    };
    put({0x63, 0x82, 0x53, 0x63});
    put({53, 1, 2});                                           // OFFER
    put({54, 4, server[0], server[1], server[2], server[3]});  // server identifier: this host
    put({51, 4, 0, 0, 0x0E, 0x10});                            // one hour
    put({1, 4, 255, 255, 255, 0});
    put({255});
    return offer;
}

}  // namespace

int main(int argc, char** argv)
{
    LabIp server{};
    LabIp offered{};
    if (argc < 4 || !lab_parse_ip(argv[2], server) || !lab_parse_ip(argv[3], offered)) {
        std::fprintf(stderr, "usage: unicast_responder IFACE SERVER_IP OFFER_IP [--ready FILE]\n");
        return 2;
    }
    LabMac own{};
    const int fd = lab_open_packet_socket(argv[1], &own, false);
    if (fd < 0) return 1;
    if (argc == 6 && std::strcmp(argv[4], "--ready") == 0) {
        FILE* ready = std::fopen(argv[5], "w");
        if (ready == nullptr) return 1;
        std::fprintf(ready, "%d\n", static_cast<int>(getpid()));
        std::fclose(ready);
    }

    static std::uint8_t frame[kLabMaxFrame];
    for (;;) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, -1) < 0 && errno != EINTR) return 1;
        LabFrame seen;
        while (lab_read_frame(fd, frame, sizeof frame, seen)) {
            std::size_t dhcp_length = 0;
            if (seen.outgoing || seen.vid != 0) continue;
            const std::uint8_t* discover = discover_in(frame, seen.length, dhcp_length);
            if (discover == nullptr) continue;
            LabMac chaddr;
            std::memcpy(chaddr.data(), discover + 28, 6);
            if (chaddr == own) continue;
            const std::vector<std::uint8_t> reply =
                lab_udp_frame(chaddr, own, 0, server, offered, 67, 68, offer_for(discover, server, offered));
            const bool sent = send(fd, reply.data(), reply.size(), 0) == static_cast<ssize_t>(reply.size());
            std::printf("%s xid %02x%02x%02x%02x to %02x:%02x:%02x:%02x:%02x:%02x\n", sent ? "offered" : "failed",
                        discover[4], discover[5], discover[6], discover[7], chaddr[0], chaddr[1], chaddr[2], chaddr[3],
                        chaddr[4], chaddr[5]);
            std::fflush(stdout);
        }
    }
}
