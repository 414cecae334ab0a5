// Sends a paced flood of DHCPv6 ADVERTISEs (another exchange's transaction id) and Router Advertisements to one
// link-local client, for bench/ipv6_flood.sh. Usage: ipv6_flood_sender DEVICE CLIENT_LL CLIENT_MAC COUNT RATE.
// Run only inside a lab namespace.
#include <net/if.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "common/ethernet.h"
#include "common/ipv6.h"

int main(int argc, char** argv)
{
    Ipv6Address client{};
    HardwareAddress mac{};
    if (argc != 6 || !parse_ipv6(argv[2], client) || !parse_hardware_address(argv[3], mac)) {
        std::fprintf(stderr, "usage: ipv6_flood_sender DEVICE CLIENT_LL CLIENT_MAC COUNT RATE\n");
        return 2;
    }
    const long count = std::atol(argv[4]);
    const long rate = std::atol(argv[5]);
    const unsigned index = if_nametoindex(argv[1]);
    sockaddr_in6 target{};
    target.sin6_family = AF_INET6;
    std::memcpy(&target.sin6_addr, client.data(), client.size());
    target.sin6_scope_id = index;

    const int udp = socket(AF_INET6, SOCK_DGRAM, 0);
    const int raw = socket(AF_INET6, SOCK_RAW, IPPROTO_ICMPV6);
    const int hops = 255;
    if (udp < 0 || raw < 0 || setsockopt(raw, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &hops, sizeof hops) != 0) {
        std::perror("socket");
        return 1;
    }
    // ADVERTISE: transaction id abcdef, the client's DUID-LL, a server DUID-EN.
    std::vector<std::uint8_t> advertise{0x02, 0xab, 0xcd, 0xef, 0x00, 0x01, 0x00, 0x0a, 0x00, 0x03, 0x00, 0x01};
    advertise.insert(advertise.end(), mac.begin(), mac.end());
    for (const std::uint8_t byte : {0x00, 0x02, 0x00, 0x07, 0x00, 0x02, 0x00, 0x00, 0x7e, 0xd9, 0xf1})
        advertise.push_back(byte);
    // RA: hop limit 64, lifetime 0 (not a default router), no options; the kernel fills the checksum.
    const std::vector<std::uint8_t> advert{0x86, 0, 0, 0, 64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

    const auto start = std::chrono::steady_clock::now();
    long sent = 0;
    for (long k = 0; k < 2 * count; ++k) {
        const auto due = start + std::chrono::nanoseconds(k * 1000000000LL / rate);
        std::this_thread::sleep_until(due);
        target.sin6_port = htons(k % 2 == 0 ? 546 : 0);
        const int fd = k % 2 == 0 ? udp : raw;
        const std::vector<std::uint8_t>& bytes = k % 2 == 0 ? advertise : advert;
        if (sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target) > 0)
            sent += 1;
    }
    std::printf("%ld\n", sent);
    return 0;
}
