// Start-up shared by every form of the program: the socket library, the two endpoints,
// the drop of privileges and the hardware address, in that order.
#pragma once

#include <string>

enum class StartupStep { none, network, request_endpoint, reply_endpoint, privileges };

struct StartupOutcome {
    StartupStep failed_step = StartupStep::none;
    int error_code = 0;  // the socket library's code for the failed step; errno for privileges
};

// Runs the start-up steps into app_state. On a failure it returns at once: nothing is
// released and the hardware address is not looked up; the caller ends with status 1.
// A program that cannot give up its privileges once the ports are bound fails too: it
// would otherwise read untrusted datagrams with them.
StartupOutcome start_up();

// One line for a failed start-up: which port, why, and how to get the right.
std::string startup_failure_message(const StartupOutcome& outcome, const char* program_path);
