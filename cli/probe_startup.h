// The probe's start-up: the window program's two endpoints, or one pair per interface, then the drop
// of every privilege before the first datagram is read.
#pragma once

#include <string>
#include <vector>

#include "cli/probe_options.h"
#include "cli/reply_ours.h"
#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"
#include "common/ipv6.h"
#include "net/network.h"
#include "net/packet_capture.h"

// One request endpoint (port 67) and one reply endpoint (port 68), tied to device unless it is empty,
// and the client hardware address the requests through them carry. With --capture, a packet socket on device
// instead, which reply names for the waits; no UDP endpoint then.
struct ProbeSocket {
    Endpoint request = kNoEndpoint;
    Endpoint reply = kNoEndpoint;
    std::string device;
    HardwareAddress hardware_address{};
    bool reports_drops = false;  // the reply endpoint tells the kernel's drops (report_kernel_drops)
    bool captured = false;
    PacketCapture capture;           // its ring's place is state: one copy of a socket reads it, the session's
    HardwareAddress frame_source{};  // the frames' Ethernet source: --mac, or the interface's own address
    OurIdentity identity;            // what a captured reply must be addressed to and answer
};

// -6: the DHCPv6 client port and the raw ICMPv6 socket of one interface, and the Ethernet address its DUID-LL and
// the Router Solicitation's link-layer option carry.
struct Ipv6Socket {
    std::string device;
    int index = 0;
    HardwareAddress hardware_address{};
    Endpoint dhcp = kNoEndpoint;
    Endpoint router = kNoEndpoint;
    // --capture: one packet socket with the IPv6 filter (dhcp is its socket, router none), frames sent from the
    // interface's own link-local and Ethernet addresses so that answers find their way back through the kernel.
    bool captured = false;
    PacketCapture capture;
    Ipv6Address link_local{};
    HardwareAddress frame_source{};
};

// Opens what the options ask for into sockets. Returns an empty string on success, else the one
// line that says what failed and why (the caller ends with status 1). --capture without --interface takes the
// interfaces --all-interfaces would.
std::string open_probe_sockets(const ProbeOptions& options, SocketLibraryState& library,
                               std::vector<ProbeSocket>& sockets, const char* program_path);
