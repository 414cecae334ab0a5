// Sends offers from forged servers, each with a server identifier of its own, at a steady rate, for the
// probe's flood test. Usage: lab_forge IP PORT COUNT RATE   (RATE datagrams a second). Prints the number
// sent. Run only inside a lab namespace.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "common/dhcp_wire.h"
#include "net/network.h"

namespace {

// A 300-byte OFFER to the probe's DISCOVER (its transaction id) from server identifier number n.
std::vector<std::uint8_t> forged_offer(unsigned long n)
{
    std::vector<std::uint8_t> offer(300, 0);
    offer[0] = kBootReply;
    offer[1] = kHardwareTypeEthernet;
    offer[2] = kEthernetAddressLength;
    for (std::size_t k = 0; k < 4; ++k) offer[kTransactionIdOffset + k] = kTransactionId[k];
    const std::uint8_t offered[4] = {192, 168, 77, static_cast<std::uint8_t>(100 + n % 50)};
    for (std::size_t k = 0; k < 4; ++k) offer[kOfferedAddressOffset + k] = offered[k];
    for (std::size_t k = 0; k < 4; ++k) offer[kMagicCookieOffset + k] = kMagicCookie[k];
    const std::uint8_t options[] = {kOptionMessageType,
                                    1,
                                    kDhcpOffer,
                                    kOptionServerIdentifier,
                                    4,
                                    10,
                                    static_cast<std::uint8_t>(n >> 16),
                                    static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n),
                                    kOptionEnd};
    std::size_t at = kOptionsOffset;
    for (const std::uint8_t byte : options) offer[at++] = byte;
    return offer;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned int octets[4];
    if (argc != 5 || std::sscanf(argv[1], "%u.%u.%u.%u", &octets[0], &octets[1], &octets[2], &octets[3]) != 4) {
        std::fprintf(stderr, "usage: lab_forge IP PORT COUNT RATE\n");
        return 2;
    }
    const Ipv4Address target{static_cast<std::uint8_t>(octets[0]), static_cast<std::uint8_t>(octets[1]),
                             static_cast<std::uint8_t>(octets[2]), static_cast<std::uint8_t>(octets[3])};
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[2]));
    const unsigned long count = std::strtoul(argv[3], nullptr, 10);
    const double rate = std::atof(argv[4]);
    if (rate <= 0) return 2;
    SocketLibraryState library{};
    start_network(library);
    const Endpoint endpoint = open_udp_endpoint(0);
    if (endpoint == kNoEndpoint) return 1;
    const auto started = std::chrono::steady_clock::now();
    unsigned long sent = 0;
    for (unsigned long n = 1; n <= count; ++n) {
        // Each datagram has its moment on the beat; a sender that falls behind catches up without bursts
        // larger than what it missed.
        const auto due = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(static_cast<double>(n - 1) / rate));
        std::this_thread::sleep_until(due);
        const std::vector<std::uint8_t> offer = forged_offer(n);
        if (send_datagram(endpoint, offer.data(), offer.size(), target, port) == static_cast<int>(offer.size()))
            sent += 1;
    }
    std::printf("%lu\n", sent);
    return sent == count ? 0 : 1;
}
