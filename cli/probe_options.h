// orvane-probe's command line: what each option sets, and its reading with CLI11.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/ipv6_tally.h"
#include "cli/lan_expectations.h"
#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"

enum class OutputFormat { text, json, nagios };

// How much a run says on stdout: every reply (full), or with --monitor one line per round beside the events on
// stderr and the failures (events), which is what a journal should keep.
enum class OutputDetail { full, events };

// The ranges of the numbers on the command line, each checked as a finite number before any use.
inline constexpr double kMaxWaitSeconds = 3600.0;
// The floor of every round's length, whatever sets it: no interface sees more than one DISCOVER a second.
inline constexpr double kMinRoundSeconds = 1.0;
inline constexpr double kMaxIntervalSeconds = 86400.0;
inline constexpr int kMaxCount = 100000;

struct ProbeOptions {
    // -4 and -6: the families a round probes; -4 alone unless -6 is given.
    bool ipv4 = true;
    bool ipv6 = false;
    bool prefix_delegation = false;  // an IA_PD in the SOLICIT
    // The DHCPv6 servers of --expect and the routers of --expect-router.
    Ipv6Expectations expected6;
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
    // --expect, one entry per server and LAN: an entry without a VLAN stands for each LAN probed.
    std::vector<ExpectedServer> expected;
    bool quick = false;
    // --capture: a packet socket per interface instead of UDP ports 67 and 68.
    bool capture = false;
    // The LANs probed: --vlan's list, each by an 802.1Q-tagged DISCOVER, or the link itself untagged.
    bool vlans_given = false;
    std::vector<std::uint16_t> lans{kUntaggedLan};
    OutputFormat format = OutputFormat::text;
    OutputDetail output = OutputDetail::full;
    // LogFile is the window program's, and kept by the one-shot runs alone: --monitor logs only with --log.
    std::string log_path = "LogFile";
    bool no_log = false;
    std::string metrics_listen;      // ADDRESS:PORT for /metrics; empty: nothing listens
    std::string metrics_file;        // the textfile written after each round; empty: none
    int metrics_retire_rounds = 10;  // a server not heard for this many rounds loses its series
    std::string on_change;           // the command run for each event in --monitor; empty: none
    // Any option beyond --wait: the text report then carries the probe's own lines in each block and its
    // summary on stdout. Without one, stdout is exactly the window program's report.
    bool extended_text = false;
};

// The time from one request to the next: --interval, or the wait when it is not given, and never less
// than kMinRoundSeconds.
double round_interval(const ProbeOptions& options);

// Reads text as a number of seconds from low to high. Returns an empty string and sets seconds, or the
// reason it is refused (not a plain decimal number, not finite, out of range), with numbers shown
// short. Pure.
std::string read_seconds(const std::string& text, double low, double high, double& seconds);

// Reads text as a whole number from low to high, likewise. Pure.
std::string read_whole_number(const std::string& text, int low, int high, int& number);

// Reads the command line into options. Returns -1 to go on, or the exit status to end with at once:
// 0 after --help or --version (help wrapped to the terminal), 3 (kExitRefusedCommandLine) for a command line that is
// refused (with the reason on stderr, control characters escaped), also for --capture and --vlan where the platform
// cannot capture. A --monitor run in text whose stdout is no terminal gets --output events unless --output says
// otherwise.
int parse_probe_options(int argc, char** argv, ProbeOptions& options);

// Makes random bytes into a locally administered unicast Ethernet address (bit 1 of the first byte
// set, bit 0 clear). Pure.
HardwareAddress locally_administered(std::array<std::uint8_t, 6> random_bytes);

// Six bytes from the platform's random source, made locally administered and unicast.
HardwareAddress random_hardware_address();
