// "Why no reply?": what the probe can find out about the host when nothing answered.
#include "cli/diagnostics.h"

#include "common/dhcp_wire.h"
#include "net/port_holders.h"

std::string interface_holding(const std::vector<HostInterface>& interfaces, const Ipv4Address& address)
{
    for (const HostInterface& interface : interfaces)
        for (const HostAddress& held : interface.addresses)
            if (held.address == address) return interface.name;
    return {};
}

NoReplyFacts gather_no_reply_facts(const std::vector<std::string>& devices, const SendRecord& sends)
{
    NoReplyFacts facts;
    facts.requests_sent = sends.sent;
    facts.requests_failed = sends.failed;
    facts.send_error = sends.last_error;
    std::vector<HostInterface> interfaces;
    facts.interfaces_known = list_host_interfaces(interfaces);
    for (const std::string& device : devices) {
        if (!device.empty()) facts.bound_on.push_back(device);
        RouteFinding finding;
        finding.device = device;
        finding.route = find_broadcast_route(device.empty() ? nullptr : device.c_str());
        if (finding.route.found)
            finding.leaves_via = device.empty() ? interface_holding(interfaces, finding.route.source) : device;
        facts.routes.push_back(finding);
    }
    for (const HostInterface& interface : interfaces) {
        if (interface.loopback) continue;
        for (const HostAddress& address : interface.addresses) facts.addresses.emplace_back(interface.name, address);
    }
    facts.port68_sockets = count_udp_port_sockets(kDhcpClientPort);
    facts.port68_ours = static_cast<int>(devices.size());
    return facts;
}
