// Test sender for the lab: start-up's network steps, the lookup and one DISCOVER, then exit.
// Prints the address it sent; exits 1 when a step fails.
#include <cstdio>

#include "app/app_state.h"
#include "app/exchange.h"
#include "app/startup.h"
#include "net/network.h"

int main()
{
    if (start_network(app_state.socket_library_state) != 0) return 1;
    app_state.request_endpoint = open_udp_endpoint(kDhcpServerPort);
    if (app_state.request_endpoint == kNoEndpoint) {
        std::fprintf(stderr, "cannot open port 67: %s\n", network_error_text(last_network_error()).c_str());
        return 1;
    }
    find_hardware_address();
    if (send_discovery(app_state.request_endpoint) != static_cast<int>(kDhcpMessageSize)) return 1;
    const HardwareAddress& a = app_state.hardware_address;
    std::printf("%02x:%02x:%02x:%02x:%02x:%02x\n", a[0], a[1], a[2], a[3], a[4], a[5]);
    stop_network();
    return 0;
}
