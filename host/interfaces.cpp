// The portable part of the host's interface list: which interfaces the probe may use, and netmask sums.
#include "host/interfaces.h"

std::vector<const HostInterface*> probe_candidates(const std::vector<HostInterface>& interfaces)
{
    std::vector<const HostInterface*> chosen;
    for (const HostInterface& interface : interfaces)
        if (interface.ethernet && interface.up && !interface.loopback && !interface.addresses.empty())
            chosen.push_back(&interface);
    return chosen;
}

const HostInterface* find_host_interface(const std::vector<HostInterface>& interfaces, const std::string& name)
{
    for (const HostInterface& interface : interfaces)
        if (interface.name == name) return &interface;
    return nullptr;
}
