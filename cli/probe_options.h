// orvane-probe's command line: what each option sets, and its reading with CLI11.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"

enum class OutputFormat { text, json };

struct ProbeOptions {
    double wait_seconds = 5.0;
    int count = 1;
    bool interval_given = false;
    double interval_seconds = 0.0;
    bool monitor = false;
    std::string interface;  // empty: every interface through one pair of sockets
    bool all_interfaces = false;
    bool mac_given = false;
    bool mac_random = false;
    HardwareAddress mac{};
    std::vector<Ipv4Address> expected;
    bool quick = false;
    OutputFormat format = OutputFormat::text;
    std::string log_path = "LogFile";
    bool no_log = false;
    // Any option beyond --wait: the text report then carries the probe's own lines in each block and its
    // summary on stdout. Without one, stdout is exactly the window program's report.
    bool extended_text = false;
};

// The time from one request to the next: --interval, or the wait when it is not given.
double round_interval(const ProbeOptions& options);

// Reads the command line into options. Returns -1 to go on, or the exit status to end with at once:
// 0 after --help or --version, 1 for a command line that is refused (with CLI11's message on stderr).
int parse_probe_options(int argc, char** argv, ProbeOptions& options);

// Makes random bytes into a locally administered unicast Ethernet address (bit 1 of the first byte
// set, bit 0 clear). Pure.
HardwareAddress locally_administered(std::array<std::uint8_t, 6> random_bytes);

// Six bytes from the platform's random source, made locally administered and unicast.
HardwareAddress random_hardware_address();
