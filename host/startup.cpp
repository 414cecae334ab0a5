// Start-up shared by every form of the program.
#include "host/startup.h"

#include <cerrno>
#include <cstring>

#include "common/dhcp_wire.h"
#include "host/privileges.h"

StartupOutcome open_discovery_endpoints(SocketLibraryState& library, DiscoveryEndpoints& endpoints)
{
    if (start_network(library) == 1) return {StartupStep::network, last_network_error()};
    endpoints.request = open_udp_endpoint(kDhcpServerPort);
    if (endpoints.request == kNoEndpoint) return {StartupStep::request_endpoint, last_network_error()};
    endpoints.reply = open_udp_endpoint(kDhcpClientPort);
    if (endpoints.reply == kNoEndpoint) return {StartupStep::reply_endpoint, last_network_error()};
    // Untrusted bytes are read from here on: nothing more needs a privilege.
    if (!drop_privileges()) return {StartupStep::privileges, errno};
    return {};
}

std::string startup_failure_message(const StartupOutcome& outcome, const char* program_path)
{
    const std::string reason = network_error_text(outcome.error_code);
    switch (outcome.failed_step) {
        case StartupStep::none: return {};
        case StartupStep::network: return "cannot start the socket library: " + reason;
        case StartupStep::privileges:
            return std::string("cannot give up its capabilities once the ports are bound: ") +
                   std::strerror(outcome.error_code) + "; it ends rather than go on with them";
        case StartupStep::request_endpoint:
        case StartupStep::reply_endpoint: break;
    }
    const int port = outcome.failed_step == StartupStep::request_endpoint ? kDhcpServerPort : kDhcpClientPort;
    std::string message = "cannot bind UDP port " + std::to_string(port) + ": " + reason + "; ";
    if (is_permission_error(outcome.error_code))
        message += privileged_port_hint(program_path);
    else if (is_address_in_use(outcome.error_code))
        message +=
            port == kDhcpClientPort
                ? "another program holds it, commonly a DHCP client running on this host; stop it first"
                : "another program holds it, commonly a DHCP server or relay running on this host; stop it first";
    else
        message += "check the host's network setup";
    return message;
}
