// Captures UDP/IPv4 datagrams on one interface of a lab host, for tests to compare with what was meant.
// Usage: lab_capture IFACE SECONDS COUNT OUTFILE [--dport N] [--ready FILE]
// Each datagram becomes one line: "src_ip sport dst_ip dport length hexpayload", in and out alike.
#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string dotted(const unsigned char* octets)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", octets[0], octets[1], octets[2], octets[3]);
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: lab_capture IFACE SECONDS COUNT OUTFILE [--dport N] [--ready FILE]\n");
        return 2;
    }
    const char* interface_name = argv[1];
    const double seconds = std::atof(argv[2]);
    const int wanted = std::atoi(argv[3]);
    const char* out_path = argv[4];
    int wanted_port = -1;
    const char* ready_path = nullptr;
    for (int i = 5; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dport") == 0) wanted_port = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--ready") == 0) ready_path = argv[i + 1];
    }

    // ETH_P_ALL, since only such sockets see the host's own outgoing frames.
    const int fd = socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_ALL));
    if (fd < 0) {
        std::perror("lab_capture: socket");
        return 1;
    }
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ALL);
    link.sll_ifindex = static_cast<int>(if_nametoindex(interface_name));
    if (link.sll_ifindex == 0 || bind(fd, reinterpret_cast<sockaddr*>(&link), sizeof link) != 0) {
        std::perror("lab_capture: bind");
        return 1;
    }
    FILE* out = std::fopen(out_path, "w");
    if (out == nullptr) {
        std::perror("lab_capture: output");
        return 1;
    }
    if (ready_path != nullptr) {
        FILE* ready = std::fopen(ready_path, "w");
        if (ready != nullptr) std::fclose(ready);
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int count = 0;
    unsigned char packet[65536];
    while (count < wanted) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0) continue;
        sockaddr_ll from{};
        socklen_t from_length = sizeof from;
        const ssize_t length = recvfrom(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &from_length);
        if (length < 20 || from.sll_protocol != htons(ETH_P_IP)) continue;
        const std::size_t header = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
        if ((packet[0] >> 4) != 4 || packet[9] != IPPROTO_UDP || static_cast<std::size_t>(length) < header + 8)
            continue;
        const unsigned char* udp = packet + header;
        const int source_port = (udp[0] << 8) | udp[1];
        const int target_port = (udp[2] << 8) | udp[3];
        const std::size_t udp_length = static_cast<std::size_t>((udp[4] << 8) | udp[5]);
        if (wanted_port >= 0 && target_port != wanted_port) continue;
        if (udp_length < 8 || header + udp_length > static_cast<std::size_t>(length)) continue;
        const std::size_t payload = udp_length - 8;
        std::fprintf(out, "%s %d %s %d %zu ", dotted(packet + 12).c_str(), source_port, dotted(packet + 16).c_str(),
                     target_port, payload);
        for (std::size_t i = 0; i < payload; ++i) std::fprintf(out, "%02x", udp[8 + i]);
        std::fprintf(out, "\n");
        std::fflush(out);
        ++count;
    }
    std::fclose(out);
    close(fd);
    return 0;
}
