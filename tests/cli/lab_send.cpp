// Sends one UDP datagram of given bytes from a lab host, for the probe's odd-datagram test.
// Usage: lab_send IP PORT HEX   (HEX may be empty for a zero-length datagram). Run only inside a lab namespace.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/network.h"

int main(int argc, char** argv)
{
    unsigned int octets[4];
    if (argc != 4 || std::sscanf(argv[1], "%u.%u.%u.%u", &octets[0], &octets[1], &octets[2], &octets[3]) != 4) {
        std::fprintf(stderr, "usage: lab_send IP PORT HEX\n");
        return 2;
    }
    const Ipv4Address target{static_cast<std::uint8_t>(octets[0]), static_cast<std::uint8_t>(octets[1]),
                             static_cast<std::uint8_t>(octets[2]), static_cast<std::uint8_t>(octets[3])};
    const char* hex = argv[3];
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < std::strlen(hex); i += 2) {
        unsigned int byte = 0;
        std::sscanf(hex + i, "%2x", &byte);
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    SocketLibraryState library{};
    start_network(library);
    const Endpoint endpoint = open_udp_endpoint(0);  // any free source port
    if (endpoint == kNoEndpoint) return 1;
    const int sent =
        send_datagram(endpoint, bytes.data(), bytes.size(), target, static_cast<std::uint16_t>(std::atoi(argv[2])));
    return sent == static_cast<int>(bytes.size()) ? 0 : 1;
}
