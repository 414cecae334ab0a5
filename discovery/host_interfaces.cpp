// The portable part of the host's interface list: which interfaces the probe may use, and netmask sums.
#include "discovery/host_interfaces.h"

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

int prefix_length_of(const Ipv4Address& mask)
{
    int length = 0;
    for (const std::uint8_t octet : mask) {
        for (int bit = 7; bit >= 0; --bit) {
            if ((octet >> bit & 1) == 0) return length;
            ++length;
        }
    }
    return length;
}

bool same_network(const Ipv4Address& a, const Ipv4Address& b, int prefix_length)
{
    for (int bit = 0; bit < prefix_length && bit < 32; ++bit) {
        const int octet = bit / 8;
        const int shift = 7 - bit % 8;
        if ((a[octet] >> shift & 1) != (b[octet] >> shift & 1)) return false;
    }
    return true;
}
