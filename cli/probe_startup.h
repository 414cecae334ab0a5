// The probe's start-up: the window program's two endpoints, or one pair per interface, then the drop
// of every privilege before the first datagram is read.
#pragma once

#include <string>
#include <vector>

#include "cli/probe_options.h"
#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"
#include "net/network.h"

// One request endpoint (port 67) and one reply endpoint (port 68), tied to device unless it is empty,
// and the client hardware address the requests through them carry.
struct ProbeSocket {
    Endpoint request = kNoEndpoint;
    Endpoint reply = kNoEndpoint;
    std::string device;
    HardwareAddress hardware_address{};
    bool reports_drops = false;  // the reply endpoint tells the kernel's drops (report_kernel_drops)
};

// Opens what the options ask for into sockets. Returns an empty string on success, else the one
// line that says what failed and why (the caller ends with status 1).
std::string open_probe_sockets(const ProbeOptions& options, SocketLibraryState& library,
                               std::vector<ProbeSocket>& sockets, const char* program_path);
