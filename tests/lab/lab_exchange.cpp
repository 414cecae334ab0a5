// A lab host's side of one exchange, built from the core: it sends DISCOVERs from port 67 and
// lists what answers on port 68. Run only inside a lab namespace.
// Usage: lab_exchange send MAC COUNT WAIT_SECONDS   -> "request <hex>" per send, "reply <src> <len> <hex>" per datagram
//        lab_exchange hold-check PORT                -> binds PORT, then proves a second bind of it fails
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "app/exchange.h"
#include "net/network.h"

namespace {

void print_hex(const std::uint8_t* bytes, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) std::printf("%02x", bytes[i]);
}

bool parse_mac(const char* text, HardwareAddress& address)
{
    unsigned int octets[6];
    if (std::sscanf(text, "%x:%x:%x:%x:%x:%x", &octets[0], &octets[1], &octets[2], &octets[3], &octets[4],
                    &octets[5]) != 6)
        return false;
    for (int i = 0; i < 6; ++i) address[i] = static_cast<std::uint8_t>(octets[i]);
    return true;
}

int send_and_listen(const char* mac, int count, double wait_seconds)
{
    if (!parse_mac(mac, app_state.hardware_address)) return 2;
    if (start_network(app_state.socket_library_state) != 0) return 1;
    const Endpoint request = open_udp_endpoint(kDhcpServerPort);
    const Endpoint reply = open_udp_endpoint(kDhcpClientPort);
    if (request == kNoEndpoint || reply == kNoEndpoint) {
        std::fprintf(stderr, "lab_exchange: bind failed: %s\n", network_error_text(last_network_error()).c_str());
        return 1;
    }
    std::thread timer([wait_seconds] {
        std::this_thread::sleep_for(std::chrono::duration<double>(wait_seconds));
        stop_network();
    });
    for (int i = 0; i < count; ++i) {
        const int sent = send_discovery(request);
        std::printf("request %d ", sent);
        print_hex(app_state.discovery_request.data(), app_state.discovery_request.size());
        std::printf("\n");
    }
    std::fflush(stdout);
    std::uint8_t buffer[1500];
    for (;;) {
        Arrival arrival;
        const int length = receive_datagram(reply, buffer, sizeof buffer, &arrival);
        const DatagramSource& source = arrival.source;
        if (length < 0) break;
        std::printf("reply %u.%u.%u.%u:%u %d ", source.address[0], source.address[1], source.address[2],
                    source.address[3], source.port, length);
        print_hex(buffer, static_cast<std::size_t>(length));
        std::printf("\n");
        std::fflush(stdout);
    }
    timer.join();
    return 0;
}

int hold_check(std::uint16_t port)
{
    start_network(app_state.socket_library_state);
    const Endpoint first = open_udp_endpoint(port);
    if (first == kNoEndpoint) {
        std::printf("first bind failed: %s\n", network_error_text(last_network_error()).c_str());
        return 1;
    }
    const Endpoint second = open_udp_endpoint(port);
    const int error = last_network_error();
    std::printf("second %ld in_use %d\n", static_cast<long>(second), is_address_in_use(error) ? 1 : 0);
    return second == kNoEndpoint ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "send") == 0)
        return send_and_listen(argv[2], std::atoi(argv[3]), std::atof(argv[4]));
    if (argc == 3 && std::strcmp(argv[1], "hold-check") == 0)
        return hold_check(static_cast<std::uint16_t>(std::atoi(argv[2])));
    std::fprintf(stderr, "usage: lab_exchange send MAC COUNT WAIT | hold-check PORT\n");
    return 2;
}
