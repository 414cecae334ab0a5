// "Why no reply?": what the probe can find out about the host when nothing answered.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/reply_ours.h"
#include "host/interfaces.h"
#include "net/device_endpoints.h"
#include "net/packet_capture.h"

struct RouteFinding {
    std::string device;  // the interface the sockets were tied to; empty for every interface
    BroadcastRoute route;
    std::string leaves_via;  // the interface holding the source address; empty when unknown
};

struct NoReplyFacts {
    bool captured = false;              // --capture: no port was bound; bound_on names the capturing interfaces
    std::vector<std::string> bound_on;  // the interfaces ports 67 and 68 are tied to; empty: all of them
    int requests_sent = 0;
    int requests_failed = 0;
    int send_error = 0;  // the last failed send's error code
    std::vector<RouteFinding> routes;
    bool interfaces_known = false;
    std::vector<std::pair<std::string, HostAddress>> addresses;  // every IPv4 address apart from loopback
    int port68_sockets = -1;  // every socket on UDP port 68 here, the probe's own included; -1: unknown
    int port68_ours = 0;
};

// What the sends did, for the facts below.
struct SendRecord {
    int sent = 0;
    int failed = 0;
    int last_error = 0;
};

// What became of the datagrams on their way in: the raw log's misses and the kernel's drops.
struct IntakeRecord {
    bool log_on = false;          // a raw log was asked for
    int not_logged = 0;           // datagrams that did not reach it (unwritable, not a regular file, too long)
    long long kernel_drops = -1;  // dropped by the kernel for want of room, on every reply endpoint; -1: unknown
    // --capture: the frames that did not become replies, by what was wrong with them, and requests to port 67
    // from other clients and relays, which the link carries but answer nothing.
    bool captured = false;
    FrameCounts frames;
    long long requests_seen = 0;
    std::array<long long, kNotOursCount> not_ours{};  // datagrams for another station or client, by NotOurs
};

// Looks at the host: the broadcast's route through each device (an empty name: no device), the
// IPv4 addresses, the sockets on port 68. Asks no privilege and sends nothing.
NoReplyFacts gather_no_reply_facts(const std::vector<std::string>& devices, const SendRecord& sends);

// The interface that holds address, by the list; empty when none does.
std::string interface_holding(const std::vector<HostInterface>& interfaces, const Ipv4Address& address);
