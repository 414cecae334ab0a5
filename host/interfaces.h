// The host's network interfaces: name, state, Ethernet address, IPv4 addresses. One listing per
// platform (the kernel's tables on Linux), which the probe and the diagnostics read.
#pragma once

#include <string>
#include <vector>

#include "common/ethernet.h"
#include "common/ipv4.h"

struct HostAddress {
    Ipv4Address address{};
    int prefix_length = 0;
};

struct HostInterface {
    int index = 0;  // the platform's interface index; 0 where it has none
    std::string name;
    bool up = false;
    bool loopback = false;
    bool ethernet = false;
    bool has_hardware_address = false;
    HardwareAddress hardware_address{};
    std::vector<HostAddress> addresses;  // IPv4 only
};

// Fills interfaces in interface index order; false when the list cannot be read.
bool list_host_interfaces(std::vector<HostInterface>& interfaces);

// The interfaces --all-interfaces uses: Ethernet, up, with at least one IPv4 address. Pure.
std::vector<const HostInterface*> probe_candidates(const std::vector<HostInterface>& interfaces);

// The interface called name, or nullptr.
const HostInterface* find_host_interface(const std::vector<HostInterface>& interfaces, const std::string& name);
