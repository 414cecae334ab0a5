// The lab's 802.1Q switch in user space (Linux): one trunk port, access ports per VLAN, the untagged LAN.
// Usage: vlan_switch TRUNK PORT=VID... [--ready FILE]     (VID 0: the untagged LAN; run only inside a lab)
// A frame from the trunk goes without its tag to every port of its VLAN; a frame from a port goes to the
// trunk, tagged with the port's VLAN, and to the other ports of that VLAN. It learns no addresses: a lab
// VLAN has one or two hosts. SIGUSR1 prints the frames counted per VLAN; SIGTERM prints them and ends.
// The lab's kernels have neither 802.1Q devices nor a VLAN-filtering bridge, hence this program.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "lab_frame.h"

namespace {

struct Port {
    std::string name;
    int vid = 0;  // -1 for the trunk
    int fd = -1;
};

struct Counts {
    std::uint64_t from_trunk = 0;
    std::uint64_t to_trunk = 0;
};

struct Totals {
    std::map<int, Counts> per_vlan;
    std::uint64_t unknown_vlan = 0;  // tagged for no VLAN of ours, or tagged on an access port
    std::uint64_t send_failures = 0;
};

volatile std::sig_atomic_t report_wanted = 0;
volatile std::sig_atomic_t stop_wanted = 0;

void on_signal(int number)
{
    if (number == SIGTERM) stop_wanted = 1;
    report_wanted = 1;
}

void report(const Totals& totals)
{
    for (const auto& [vid, counts] : totals.per_vlan)
        std::printf("vlan %d from-trunk %llu to-trunk %llu\n", vid, static_cast<unsigned long long>(counts.from_trunk),
                    static_cast<unsigned long long>(counts.to_trunk));
    std::printf("unknown-vlan %llu send-failures %llu\n", static_cast<unsigned long long>(totals.unknown_vlan),
                static_cast<unsigned long long>(totals.send_failures));
    std::fflush(stdout);
}

void send_frame(const Port& port, const std::uint8_t* frame, std::size_t length, Totals& totals)
{
    if (send(port.fd, frame, length, 0) != static_cast<ssize_t>(length)) {
        ++totals.send_failures;
        std::fprintf(stderr, "vlan_switch: %zu bytes to %s: %s\n", length, port.name.c_str(), std::strerror(errno));
    }
}

// Takes one frame that arrived on ports[from]; ports[0] is the trunk.
void switch_frame(std::vector<Port>& ports, std::size_t from, std::uint8_t* frame, const LabFrame& seen, Totals& totals)
{
    if (from == 0) {
        bool delivered = false;
        for (std::size_t i = 1; i < ports.size(); ++i) {
            if (ports[i].vid != seen.vid) continue;
            send_frame(ports[i], frame, seen.length, totals);
            delivered = true;
        }
        if (delivered)
            ++totals.per_vlan[seen.vid].from_trunk;
        else
            ++totals.unknown_vlan;
        return;
    }
    const int vid = ports[from].vid;
    if (seen.vid != 0) {
        ++totals.unknown_vlan;
        return;
    }
    for (std::size_t i = 1; i < ports.size(); ++i)
        if (i != from && ports[i].vid == vid) send_frame(ports[i], frame, seen.length, totals);
    const std::size_t length = vid != 0 ? lab_insert_tag(frame, seen.length, vid) : seen.length;
    send_frame(ports[0], frame, length, totals);
    ++totals.per_vlan[vid].to_trunk;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<Port> ports;
    const char* ready_path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ready") == 0 && i + 1 < argc) {
            ready_path = argv[++i];
            continue;
        }
        Port port;
        const char* equals = std::strchr(argv[i], '=');
        if (ports.empty() && equals == nullptr) {
            port.name = argv[i];
            port.vid = -1;
        } else if (!ports.empty() && equals != nullptr) {
            port.name.assign(argv[i], static_cast<std::size_t>(equals - argv[i]));
            port.vid = std::atoi(equals + 1);
        }
        if (port.name.empty() || port.vid < -1 || port.vid > 4094) {
            std::fprintf(stderr, "usage: vlan_switch TRUNK PORT=VID... [--ready FILE]\n");
            return 2;
        }
        ports.push_back(port);
    }
    if (ports.size() < 2) {
        std::fprintf(stderr, "usage: vlan_switch TRUNK PORT=VID... [--ready FILE]\n");
        return 2;
    }

    Totals totals;
    std::vector<pollfd> waiting;
    for (Port& port : ports) {
        port.fd = lab_open_packet_socket(port.name.c_str(), nullptr, true);
        if (port.fd < 0) return 1;
        waiting.push_back({port.fd, POLLIN, 0});
        if (port.vid >= 0) totals.per_vlan[port.vid];
    }
    // No SA_RESTART: the signals must break the poll below.
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);
    if (ready_path != nullptr) {
        FILE* ready = std::fopen(ready_path, "w");
        if (ready == nullptr) return 1;
        std::fprintf(ready, "%d\n", static_cast<int>(getpid()));
        std::fclose(ready);
    }

    // Room for a tag in front of the largest frame a link can hand over.
    static std::uint8_t frame[kLabMaxFrame + kLabVlanTag];
    while (stop_wanted == 0) {
        if (report_wanted != 0) {
            report_wanted = 0;
            report(totals);
        }
        if (poll(waiting.data(), waiting.size(), -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("vlan_switch: poll");
            return 1;
        }
        for (std::size_t i = 0; i < ports.size(); ++i) {
            if ((waiting[i].revents & POLLIN) == 0) continue;
            LabFrame seen;
            // Our own sends come back as outgoing frames; taking them in again would loop them for ever.
            while (lab_read_frame(ports[i].fd, frame, kLabMaxFrame, seen))
                if (!seen.outgoing) switch_frame(ports, i, frame, seen, totals);
        }
    }
    report(totals);
    return 0;
}
