// Start-up shared by every form of the program: the socket library, the two endpoints and the
// drop of privileges, in that order.
#pragma once

#include <string>

#include "net/network.h"

enum class StartupStep { none, network, request_endpoint, reply_endpoint, privileges };

struct StartupOutcome {
    StartupStep failed_step = StartupStep::none;
    int error_code = 0;  // the socket library's code for the failed step; errno for privileges
};

// The request endpoint (UDP port 67) and the reply endpoint (UDP port 68).
struct DiscoveryEndpoints {
    Endpoint request = kNoEndpoint;
    Endpoint reply = kNoEndpoint;
};

// Starts the socket library into library, opens both endpoints into endpoints and drops every
// privilege. On a failure it returns at once and releases nothing; the caller ends the program. A
// privilege that cannot be given up is a failure too: untrusted datagrams must not be read with it.
StartupOutcome open_discovery_endpoints(SocketLibraryState& library, DiscoveryEndpoints& endpoints);

// One line for a failed start-up: which port, why, and how to get the right.
std::string startup_failure_message(const StartupOutcome& outcome, const char* program_path);
