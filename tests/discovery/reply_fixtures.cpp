// Helpers shared by the reply, raw log and receiver loop tests.
#include "reply_fixtures.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "discovery/network.h"

Bytes make_reply(const Ipv4Address& offered, const Ipv4Address& relay, std::initializer_list<std::uint8_t> options,
                 std::uint8_t fill)
{
    Bytes reply(kDhcpMessageSize, fill);
    for (std::size_t k = 0; k < 240; ++k) reply[k] = 0;
    reply[0] = 2;  // BOOTREPLY, for the look of it: nothing reads it
    for (std::size_t k = 0; k < 4; ++k) {
        reply[16 + k] = offered[k];
        reply[24 + k] = relay[k];
    }
    reply[236] = 0x63;
    reply[237] = 0x82;
    reply[238] = 0x53;
    reply[239] = 0x63;
    std::size_t at = 240;
    for (const std::uint8_t byte : options) reply[at++] = byte;
    return reply;
}

ReplyBuffer reply_buffer_of(const Bytes& bytes)
{
    ReplyBuffer buffer{};
    for (std::size_t k = 0; k < buffer.size() && k < bytes.size(); ++k) buffer[k] = bytes[k];
    return buffer;
}

Bytes text_stream_bytes(const Bytes& datagram)
{
    Bytes stored;
    for (const std::uint8_t byte : datagram) {
        if (byte == 0x0A) stored.push_back(0x0D);
        stored.push_back(byte);
    }
    return stored;
}

Endpoint open_free_endpoint(std::uint16_t& port)
{
    for (std::uint16_t candidate = 47500; candidate < 47900; ++candidate) {
        const Endpoint endpoint = open_udp_endpoint(candidate);
        if (endpoint != kNoEndpoint) {
            port = candidate;
            return endpoint;
        }
    }
    return kNoEndpoint;
}

BreakOff break_off_by_stop(const std::function<int()>& receive)
{
    std::atomic<int> result{0};
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        result = receive();
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    BreakOff outcome;
    outcome.blocked_before_stop = !returned.load();
    stop_network();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!returned.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    outcome.returned_after_stop = returned.load();
    if (!outcome.returned_after_stop) {
        // The thread still uses this frame, so the run cannot go on past it.
        std::fprintf(stderr, "the receive was not broken off by stop_network\n");
        std::abort();
    }
    waiter.join();
    outcome.result = result.load();
    return outcome;
}

ScratchFolder::ScratchFolder()
{
    static std::atomic<int> serial{0};
    // Test programs run side by side, so the name mixes a clock, a random draw and a serial.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::random_device random;
    path =
        std::filesystem::temp_directory_path() / ("orvane-test-" + std::to_string(stamp) + "-" +
                                                  std::to_string(random()) + "-" + std::to_string(serial.fetch_add(1)));
    std::filesystem::create_directories(path);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

Bytes read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
