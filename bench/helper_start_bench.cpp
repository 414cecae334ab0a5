// Start-up to the first DISCOVER on the wire, the window program's way before its helper (the sockets opened
// in-process, then the drop) against its way now (the helper started on a socketpair, which opens them, and the
// request handed to it), alternating in one run inside a network namespace of its own. Qt's own start, the same
// either way, is left out. Needs root. Usage: helper_start_bench [ROUNDS]
#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app_state.h"
#include "app/exchange.h"
#include "app/startup.h"
#include "host/startup.h"

namespace {

using Clock = std::chrono::steady_clock;

// A packet socket on loopback, where the namespace routes the limited broadcast: it sees each DISCOVER leave.
int open_watch()
{
    const int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_IP));
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_IP);
    link.sll_ifindex = static_cast<int>(if_nametoindex("lo"));
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&link), sizeof link) != 0) return -1;
    return fd;
}

// Waits up to 5 s for an IPv4 UDP datagram to port 67; true when one came.
bool wait_for_discovery(int watch)
{
    const auto give_up = Clock::now() + std::chrono::seconds(5);
    std::uint8_t packet[2048];
    while (Clock::now() < give_up) {
        pollfd wait{watch, POLLIN, 0};
        if (poll(&wait, 1, 100) <= 0) continue;
        const ssize_t length = recv(watch, packet, sizeof packet, 0);
        if (length < 28 || packet[9] != 17) continue;
        const std::size_t header = (packet[0] & 0x0fu) * 4u;
        if (static_cast<std::size_t>(length) >= header + 4 && packet[header + 2] == 0 && packet[header + 3] == 67)
            return true;
    }
    return false;
}

// One start-up in a child process, timed from the fork to its DISCOVER on the wire; -1 ms on a failure.
double one_start(bool with_helper, int watch)
{
    int hold[2];
    if (pipe(hold) != 0) return -1;
    const auto started = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(hold[1]);
        reset_app_state();
        if (with_helper) {
            if (start_up().failed_step != StartupStep::none) _exit(1);
        } else {
            DiscoveryEndpoints endpoints;
            if (open_discovery_endpoints(app_state.socket_library_state, endpoints).failed_step != StartupStep::none)
                _exit(1);
            app_state.request_endpoint = endpoints.request;
            find_hardware_address();
        }
        send_discovery(app_state.request_endpoint);
        char byte;
        [[maybe_unused]] const ssize_t ended = read(hold[0], &byte, 1);  // until the parent has seen it
        _exit(0);
    }
    close(hold[0]);
    const bool seen = wait_for_discovery(watch);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    close(hold[1]);
    int status = 0;
    waitpid(child, &status, 0);
    // The helper ends once its link closes; the next round needs port 67 free again.
    for (int k = 0; k < 200 && system("grep -q ':0043 ' /proc/net/udp") == 0; ++k) usleep(5000);
    return seen && status == 0 ? ms : -1;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;
    if (geteuid() != 0 || unshare(CLONE_NEWNET) != 0 ||
        std::system("ip link set lo up && ip route add 255.255.255.255/32 dev lo") != 0) {
        std::fprintf(stderr, "helper_start_bench: needs root, for a network namespace of its own\n");
        return 3;
    }
    const int watch = open_watch();
    if (watch < 0) return 3;
    std::vector<double> before, after;
    for (int k = 0; k < rounds; ++k) {
        // Alternating, so that a slow moment of the machine falls on both alike.
        for (const bool with_helper : {false, true}) {
            const double ms = one_start(with_helper, watch);
            if (ms < 0) {
                std::fprintf(stderr, "helper_start_bench: a start %s the helper failed\n",
                             with_helper ? "with" : "without");
                return 1;
            }
            (with_helper ? after : before).push_back(ms);
        }
    }
    std::printf("first DISCOVER, median of %d: sockets in the program %.2f ms, in the helper %.2f ms (+%.2f ms)\n",
                rounds, median(before), median(after), median(after) - median(before));
    return 0;
}
