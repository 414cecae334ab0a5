// Linux implementation of the host's interface list: the kernel's link and IPv4 address tables
// through rtnetlink, the same dump the hardware address is chosen from.
#include "host/interfaces.h"

#include <linux/if.h>
#include <linux/if_arp.h>
#include <sys/socket.h>

#include <algorithm>

#include "host/link_dump_linux.h"

bool list_host_interfaces(std::vector<HostInterface>& interfaces)
{
    interfaces.clear();
    std::vector<LinkRecord> links;
    std::vector<AddressRecord> addresses;
    if (!dump_links(links) || !dump_addresses(AF_INET, addresses)) return false;
    std::stable_sort(links.begin(), links.end(),
                     [](const LinkRecord& a, const LinkRecord& b) { return a.index < b.index; });
    for (const LinkRecord& link : links) {
        HostInterface interface;
        interface.index = link.index;
        interface.name = link.name;
        interface.up = (link.flags & IFF_UP) != 0;
        interface.loopback = (link.flags & IFF_LOOPBACK) != 0;
        interface.ethernet = link.hardware_type == ARPHRD_ETHER;
        if (link.has_address && link.address.size() == interface.hardware_address.size()) {
            interface.has_hardware_address = true;
            std::copy(link.address.begin(), link.address.end(), interface.hardware_address.begin());
        }
        for (const AddressRecord& record : addresses) {
            if (record.index != link.index || record.address.size() != 4) continue;
            HostAddress held;
            std::copy(record.address.begin(), record.address.end(), held.address.begin());
            held.prefix_length = record.prefix_length;
            interface.addresses.push_back(held);
        }
        interfaces.push_back(interface);
    }
    return true;
}
