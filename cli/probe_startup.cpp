// The probe's start-up: the window program's two endpoints, or one pair per interface.
#include "cli/probe_startup.h"

#include <cerrno>

#include "cli/console_output.h"
#include "host/interface_rows.h"
#include "host/interfaces.h"
#include "host/privileges.h"
#include "host/startup.h"
#include "net/device_endpoints.h"
#include "net/network.h"
#include "net/packet_capture.h"

namespace {

// The window program's reason, and where the probe has another way past a held port 68, that way: a DHCP
// client that must keep running is no reason to go without the check.
std::string probe_startup_failure(const StartupOutcome& outcome, const char* program_path)
{
    std::string message = startup_failure_message(outcome, program_path);
    if (outcome.failed_step == StartupStep::reply_endpoint && is_address_in_use(outcome.error_code) &&
        packet_capture_supported())
        message += "; or leave it running and probe with --capture, which binds no port (needs cap_net_raw)";
    return message;
}

std::string interface_names(const std::vector<HostInterface>& interfaces)
{
    std::string names;
    for (const HostInterface& interface : interfaces)
        names += (names.empty() ? "" : ", ") + terminal_text(interface.name);
    return names.empty() ? "none" : names;
}

std::string device_failure(const std::string& device, std::uint16_t port, const DeviceEndpoint& opened,
                           const char* program_path)
{
    if (opened.failed_step == DeviceEndpointStep::device) {
        std::string message =
            "cannot tie a socket to interface " + terminal_text(device) + ": " + network_error_text(opened.error_code);
        if (is_permission_error(opened.error_code))
            message += std::string(
                           "; Linux before 5.7 asks for cap_net_raw here: sudo setcap "
                           "cap_net_bind_service,cap_net_raw=+ep ") +
                       program_path;
        return message;
    }
    StartupOutcome outcome;
    outcome.failed_step = port == kDhcpServerPort ? StartupStep::request_endpoint : StartupStep::reply_endpoint;
    outcome.error_code = opened.error_code;
    return "on interface " + terminal_text(device) + ": " + probe_startup_failure(outcome, program_path);
}

// Why a named interface cannot carry a DHCP exchange; empty when it can. DHCP over IPv4 runs on an
// Ethernet link, and the DISCOVER carries the interface's Ethernet address unless --mac gives one.
std::string unfit_for_dhcp(const HostInterface& interface, bool mac_given)
{
    const std::string name = terminal_text(interface.name);
    if (interface.loopback) return "interface " + name + " is a loopback interface; DHCP needs an Ethernet interface";
    if (!interface.ethernet) return "interface " + name + " is not an Ethernet interface, which DHCP needs";
    if (!mac_given && (!interface.has_hardware_address || is_zero_hardware_address(interface.hardware_address)))
        return "interface " + name + " has no Ethernet address to send; give one with --mac";
    return {};
}

std::string open_default_sockets(const ProbeOptions& options, SocketLibraryState& library,
                                 std::vector<ProbeSocket>& sockets, const char* program_path)
{
    // Exactly the window program's start-up, privilege drop and hardware address included.
    DiscoveryEndpoints endpoints;
    const StartupOutcome outcome = open_discovery_endpoints(library, endpoints);
    if (outcome.failed_step != StartupStep::none) return probe_startup_failure(outcome, program_path);
    report_arrival_interface(endpoints.reply);
    ProbeSocket socket;
    socket.request = endpoints.request;
    socket.reply = endpoints.reply;
    socket.reports_drops = report_kernel_drops(endpoints.reply);
    if (options.mac_given)
        socket.hardware_address = options.mac;
    else
        read_hardware_address(socket.hardware_address);
    sockets.push_back(socket);
    return {};
}

const char* capture_step_text(CaptureStep step)
{
    switch (step) {
        case CaptureStep::socket: return "cannot open a packet socket";
        case CaptureStep::filter: return "cannot attach the capture filter";
        case CaptureStep::ring: return "cannot set up the receive ring";
        case CaptureStep::map: return "cannot map the receive ring";
        case CaptureStep::bind: return "cannot bind the packet socket";
        case CaptureStep::promiscuous: return "cannot take frames for another address (promiscuous)";
        default: return "cannot capture";
    }
}

// A packet socket on the interface; promiscuous when the requests carry another address than the interface's
// own, so that a server's unicast to it is caught too.
std::string open_capture_socket(const ProbeOptions& options, const HostInterface& interface,
                                std::vector<ProbeSocket>& sockets, const char* program_path)
{
    ProbeSocket socket;
    socket.device = interface.name;
    socket.captured = true;
    socket.hardware_address = options.mac_given ? options.mac : interface.hardware_address;
    socket.frame_source = socket.hardware_address;
    CaptureSettings settings;
    settings.interface_index = interface.index;
    settings.promiscuous = options.mac_given && options.mac != interface.hardware_address;
    const CaptureOpening opened = open_packet_capture(socket.capture, settings);
    if (opened.failed_step != CaptureStep::none) {
        std::string message = std::string(capture_step_text(opened.failed_step)) + " on interface " +
                              terminal_text(interface.name) + ": " + network_error_text(opened.error_code);
        if (is_permission_error(opened.error_code))
            message += std::string(
                           "; --capture needs cap_net_raw: run it as root, or grant the right once with: "
                           "sudo setcap cap_net_bind_service,cap_net_raw=+ep ") +
                       program_path;
        return message;
    }
    socket.reply = socket.capture.socket;
    socket.reports_drops = true;
    socket.identity.interface_address = interface.hardware_address;
    socket.identity.client_address = socket.hardware_address;
    for (const HostAddress& held : interface.addresses) {
        socket.identity.addresses.push_back(held.address);
        if (held.prefix_length <= 0 || held.prefix_length >= 31) continue;
        Ipv4Address broadcast = held.address;
        for (int bit = held.prefix_length; bit < 32; ++bit)
            broadcast[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        socket.identity.addresses.push_back(broadcast);
    }
    sockets.push_back(socket);
    return {};
}

std::string open_interface_sockets(const ProbeOptions& options, SocketLibraryState& library,
                                   std::vector<ProbeSocket>& sockets, const char* program_path)
{
    if (!interface_binding_supported())
        return "--interface and --all-interfaces need a socket tied to one interface, which this platform "
               "cannot make; run without them";
    if (start_network(library) == 1)
        return "cannot start the socket library: " + network_error_text(last_network_error());
    std::vector<HostInterface> interfaces;
    if (!list_host_interfaces(interfaces)) return "cannot list the host's interfaces";
    std::vector<const HostInterface*> chosen;
    if (options.all_interfaces || options.interface.empty()) {
        chosen = probe_candidates(interfaces);
        if (chosen.empty()) return "no Ethernet interface is up with an IPv4 address";
    } else {
        const HostInterface* named = find_host_interface(interfaces, options.interface);
        if (named == nullptr)
            return "no interface named " + terminal_text(options.interface) +
                   " (there are: " + interface_names(interfaces) + ")";
        if (const std::string unfit = unfit_for_dhcp(*named, options.mac_given); !unfit.empty()) return unfit;
        chosen.push_back(named);
    }
    for (const HostInterface* interface : chosen) {
        if (options.capture) {
            if (const std::string failed = open_capture_socket(options, *interface, sockets, program_path);
                !failed.empty())
                return failed;
            continue;
        }
        ProbeSocket socket;
        socket.device = interface->name;
        const DeviceEndpoint request = open_device_endpoint(kDhcpServerPort, interface->name.c_str());
        if (request.endpoint == kNoEndpoint)
            return device_failure(interface->name, kDhcpServerPort, request, program_path);
        const DeviceEndpoint reply = open_device_endpoint(kDhcpClientPort, interface->name.c_str());
        if (reply.endpoint == kNoEndpoint) return device_failure(interface->name, kDhcpClientPort, reply, program_path);
        socket.request = request.endpoint;
        socket.reply = reply.endpoint;
        socket.reports_drops = report_kernel_drops(socket.reply);
        socket.hardware_address = options.mac_given ? options.mac : interface->hardware_address;
        sockets.push_back(socket);
    }
    // Untrusted bytes are read from here on: nothing more needs a privilege, and none may stay.
    if (!drop_privileges()) return startup_failure_message({StartupStep::privileges, errno}, program_path);
    return {};
}

}  // namespace

std::string open_probe_sockets(const ProbeOptions& options, SocketLibraryState& library,
                               std::vector<ProbeSocket>& sockets, const char* program_path)
{
    sockets.clear();
    if (options.all_interfaces || !options.interface.empty() || options.capture)
        return open_interface_sockets(options, library, sockets, program_path);
    return open_default_sockets(options, library, sockets, program_path);
}
