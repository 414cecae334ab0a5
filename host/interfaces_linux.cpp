// Linux implementation of the host's interface list: getifaddrs, whose AF_PACKET entries carry the
// hardware type and address and whose AF_INET entries carry the IPv4 addresses.
#include "host/interfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace {

HostInterface& entry_for(std::vector<HostInterface>& interfaces, const char* name)
{
    auto found = std::find_if(interfaces.begin(), interfaces.end(),
                              [name](const HostInterface& interface) { return interface.name == name; });
    if (found != interfaces.end()) return *found;
    interfaces.push_back(HostInterface{});
    interfaces.back().name = name;
    return interfaces.back();
}

Ipv4Address address_of(const sockaddr* address)
{
    Ipv4Address result{};
    if (address == nullptr || address->sa_family != AF_INET) return result;
    sockaddr_in in;
    std::memcpy(&in, address, sizeof in);
    std::memcpy(result.data(), &in.sin_addr.s_addr, 4);
    return result;
}

}  // namespace

bool list_host_interfaces(std::vector<HostInterface>& interfaces)
{
    interfaces.clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr) continue;
        HostInterface& interface = entry_for(interfaces, entry->ifa_name);
        interface.up = (entry->ifa_flags & IFF_UP) != 0;
        interface.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        if (entry->ifa_addr == nullptr) continue;
        if (entry->ifa_addr->sa_family == AF_PACKET) {
            sockaddr_ll link;
            std::memcpy(&link, entry->ifa_addr, sizeof link);
            interface.ethernet = link.sll_hatype == ARPHRD_ETHER;
            if (link.sll_halen == 6) {
                interface.has_hardware_address = true;
                std::copy(link.sll_addr, link.sll_addr + 6, interface.hardware_address.begin());
            }
        } else if (entry->ifa_addr->sa_family == AF_INET) {
            HostAddress address;
            address.address = address_of(entry->ifa_addr);
            address.prefix_length = prefix_length_of(address_of(entry->ifa_netmask));
            interface.addresses.push_back(address);
        }
    }
    freeifaddrs(list);
    return true;
}
