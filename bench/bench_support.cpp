// Shared by the benchmarks: a sample offer, loopback endpoint pairs, a scratch LogFile.
#include "bench_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "net/network.h"

std::vector<std::uint8_t> sample_offer()
{
    std::ifstream in(ORVANE_SAMPLE_OFFER, std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.empty()) {
        std::fprintf(stderr, "bench: cannot read %s\n", ORVANE_SAMPLE_OFFER);
        std::abort();
    }
    return bytes;
}

static Endpoint open_free_endpoint(std::uint16_t& port)
{
    for (std::uint16_t candidate = 49100; candidate < 49900; ++candidate) {
        const Endpoint endpoint = open_udp_endpoint(candidate);
        if (endpoint != kNoEndpoint) {
            port = candidate;
            return endpoint;
        }
    }
    std::fprintf(stderr, "bench: no free port\n");
    std::abort();
}

LoopbackPair open_loopback_pair()
{
    if (start_network(app_state.socket_library_state) != 0) std::abort();
    LoopbackPair pair;
    std::uint16_t sender_port = 0;
    pair.receiver = open_free_endpoint(pair.receiver_port);
    pair.sender = open_free_endpoint(sender_port);
    return pair;
}

void close_loopback_pair(const LoopbackPair& pair)
{
    close_udp_endpoint(pair.receiver);
    close_udp_endpoint(pair.sender);
}

void send_to(const LoopbackPair& pair, const std::vector<std::uint8_t>& bytes)
{
    constexpr Ipv4Address loopback{127, 0, 0, 1};
    if (send_datagram(pair.sender, bytes.data(), bytes.size(), loopback, pair.receiver_port) !=
        static_cast<int>(bytes.size()))
        std::abort();
}

std::string scratch_log_path()
{
    char folder[] = "/tmp/orvane-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    // The window program's receive appends to LogFile in the current folder.
    std::filesystem::current_path(folder);
    return std::string(folder) + "/LogFile";
}

void remove_scratch_log(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path).parent_path(), ignored);
}
