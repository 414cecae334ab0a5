// The IPv6 half of a round: SOLICIT and Router Solicitation out, DHCPv6 datagrams and advertisements in.
#include "cli/ipv6_round.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <random>

#include "cli/console_output.h"
#include "cli/ipv6_report.h"
#include "cli/probe_session.h"
#include "common/dhcpv6_wire.h"
#include "host/interfaces.h"
#include "host/vendor_registry_files.h"
#include "net/ipv6_endpoints.h"
#include "protocol/dhcpv6_solicit.h"
#include "protocol/ipv6_packet.h"
#include "protocol/ipv6_packet_build.h"
#include "protocol/router_solicit.h"

namespace {

// The largest payload an IPv6 datagram without a jumbo option carries: a router advertisement on a jumbo-frame
// link is read whole, as a capture reads it, not cut and judged invalid.
constexpr std::size_t kIpv6BufferSize = 65535;
// A captured frame's IPv6 header follows the untagged Ethernet header (the kernel takes any tag off).
constexpr std::size_t kIpv6FrameOffset = 14;
// The VLAN id within a tag's control information (protocol/frame_layout.h's, whose header clashes with
// common/dhcpv6_wire.h here).
constexpr std::uint16_t kTagVlanIdMask = 0x0FFF;

const char* step_text(Ipv6EndpointStep step)
{
    switch (step) {
        case Ipv6EndpointStep::socket: return "cannot open the socket";
        case Ipv6EndpointStep::device: return "cannot tie the socket to the interface";
        case Ipv6EndpointStep::bind: return "cannot bind the socket";
        default: return "cannot set up the socket";
    }
}

std::string endpoint_failure(const char* what, const std::string& device, const Ipv6Endpoint& opened, const char* right,
                             const char* program_path)
{
    std::string message = std::string(what) + " on interface " + terminal_text(device) + ": " +
                          step_text(opened.failed_step) + ": " + network_error_text(opened.error_code);
    if (is_permission_error(opened.error_code))
        message += std::string("; it needs ") + right +
                   ": run it as root, or grant the rights once with: sudo setcap " +
                   "cap_net_bind_service,cap_net_raw=+ep " + program_path;
    else if (is_address_in_use(opened.error_code))
        message += "; another DHCPv6 client holds port 546 on it";
    return message;
}

std::string names_of(const std::vector<HostInterface>& interfaces)
{
    std::string names;
    for (const HostInterface& interface : interfaces)
        names += (names.empty() ? "" : ", ") + terminal_text(interface.name);
    return names.empty() ? "none" : names;
}

std::uint32_t iaid_of(const HardwareAddress& address)
{
    return (std::uint32_t{address[2]} << 24) | (std::uint32_t{address[3]} << 16) | (std::uint32_t{address[4]} << 8) |
           address[5];
}

std::int64_t unix_ms_now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double elapsed_now(const ProbeSession& session)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
}

void report_lines(ProbeSession& session, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) print_session_line(session, line);
}

void note_send_failure(ProbeSession& session, const Ipv6Socket& socket, const char* what)
{
    session.sends6.failed += 1;
    print_line(stderr, std::string("orvane-probe: the ") + what + " was not sent on " + terminal_text(socket.device) +
                           ": " + network_error_text(last_network_error()));
}

// A packet socket with the IPv6 filter on the interface, and the link-local address its frames come from.
std::string open_ipv6_capture(const HostInterface& interface, Ipv6Socket& socket, const char* program_path)
{
    socket.captured = true;
    socket.frame_source = interface.hardware_address;
    if (!find_link_local(interface.name.c_str(), socket.link_local))
        return "interface " + terminal_text(interface.name) + " has no link-local IPv6 address to send from";
    CaptureSettings settings;
    settings.interface_index = interface.index;
    settings.ipv6 = true;
    const CaptureOpening opened = open_packet_capture(socket.capture, settings);
    if (opened.failed_step != CaptureStep::none) {
        std::string message = "cannot capture IPv6 on interface " + terminal_text(interface.name) + ": " +
                              network_error_text(opened.error_code);
        if (is_permission_error(opened.error_code))
            message += std::string("; --capture needs cap_net_raw: sudo setcap cap_net_bind_service,cap_net_raw=+ep ") +
                       program_path;
        return message;
    }
    socket.dhcp = socket.capture.socket;
    return {};
}

// The Ethernet frame of an IPv6 packet to a link-local group, from the socket's own address.
std::vector<std::uint8_t> multicast_frame(const Ipv6Socket& socket, const Ipv6Address& group,
                                          const std::vector<std::uint8_t>& packet)
{
    std::vector<std::uint8_t> frame;
    const HardwareAddress destination = ipv6_multicast_hardware_address(group);
    frame.insert(frame.end(), destination.begin(), destination.end());
    frame.insert(frame.end(), socket.frame_source.begin(), socket.frame_source.end());
    frame.push_back(static_cast<std::uint8_t>(kEthertypeIpv6 >> 8));
    frame.push_back(static_cast<std::uint8_t>(kEthertypeIpv6 & 0xff));
    frame.insert(frame.end(), packet.begin(), packet.end());
    return frame;
}

// Sends the SOLICIT and the RS as hand-built frames.
void send_captured(ProbeSession& session, const Ipv6Socket& socket, const std::vector<std::uint8_t>& solicit,
                   const std::vector<std::uint8_t>& solicitation);

}  // namespace

std::string open_ipv6_sockets(const ProbeOptions& options, SocketLibraryState& library,
                              std::vector<Ipv6Socket>& sockets, const char* program_path)
{
    sockets.clear();
    if (start_network(library) == 1)
        return "cannot start the socket library: " + network_error_text(last_network_error());
    std::vector<HostInterface> interfaces;
    if (!list_host_interfaces(interfaces)) return "cannot list the host's interfaces";
    std::vector<const HostInterface*> chosen;
    if (!options.interface.empty()) {
        const HostInterface* named = find_host_interface(interfaces, options.interface);
        if (named == nullptr)
            return "no interface named " + terminal_text(options.interface) + " (there are: " + names_of(interfaces) +
                   ")";
        if (named->loopback || !named->ethernet)
            return "interface " + terminal_text(named->name) + " is not an Ethernet interface, which -6 needs";
        chosen.push_back(named);
    } else {
        // IPv6 needs no address but the link-local one, which the kernel picks: every Ethernet link that is up.
        for (const HostInterface& interface : interfaces)
            if (interface.up && interface.ethernet && !interface.loopback) chosen.push_back(&interface);
        if (chosen.empty()) return "no Ethernet interface is up for -6";
    }
    if (!router_socket_supported())
        print_line(stderr,
                   "orvane-probe: routers are not heard here: this platform gives an ordinary program no raw "
                   "ICMPv6 socket; -6 checks the DHCPv6 servers alone");
    for (const HostInterface* interface : chosen) {
        Ipv6Socket socket;
        socket.device = interface->name;
        socket.index = interface->index;
        socket.hardware_address = options.mac_given ? options.mac : interface->hardware_address;
        if (!options.mac_given &&
            (!interface->has_hardware_address || is_zero_hardware_address(socket.hardware_address)))
            return "interface " + terminal_text(interface->name) +
                   " has no Ethernet address for the DUID; give one with --mac";
        if (options.capture) {
            if (const std::string failed = open_ipv6_capture(*interface, socket, program_path); !failed.empty())
                return failed;
            sockets.push_back(socket);
            continue;
        }
        const Ipv6Endpoint dhcp = open_dhcpv6_client_endpoint(interface->name.c_str(), interface->index);
        if (dhcp.endpoint == kNoEndpoint)
            return endpoint_failure("DHCPv6 port 546", interface->name, dhcp, "cap_net_bind_service", program_path);
        socket.dhcp = dhcp.endpoint;
        if (!router_socket_supported()) {
            sockets.push_back(socket);
            continue;
        }
        const Ipv6Endpoint router = open_router_endpoint(interface->name.c_str(), interface->index);
        if (router.endpoint == kNoEndpoint)
            return endpoint_failure("the raw ICMPv6 socket for router solicitations", interface->name, router,
                                    "cap_net_raw", program_path);
        socket.router = router.endpoint;
        sockets.push_back(socket);
    }
    return {};
}

std::string ipv6_pacer_key(const std::string& device)
{
    return device + " ipv6";
}

void send_ipv6_requests(ProbeSession& session)
{
    std::random_device source;
    const std::uint32_t random = source();
    session.request6.transaction_id = {static_cast<std::uint8_t>(random >> 16), static_cast<std::uint8_t>(random >> 8),
                                       static_cast<std::uint8_t>(random)};
    session.round6 = Ipv6Tally{};
    if (session.run6.kernel_drops >= 0) session.round6.kernel_drops = 0;
    for (Ipv6Socket& socket : session.sockets6) {
        const PacerClock::time_point allowed = next_send_allowed(session.pacer, ipv6_pacer_key(socket.device));
        if (PacerClock::now() < allowed) listen_until(session, allowed, false);
        if (run_cut_short(session)) return;
        SolicitFields fields;
        fields.transaction_id = session.request6.transaction_id;
        fields.client_address = socket.hardware_address;
        fields.iaid = iaid_of(socket.hardware_address);
        fields.prefix_delegation = session.options.prefix_delegation;
        const std::vector<std::uint8_t> solicit = build_solicit(fields);
        RouterSolicitationFields rs;
        rs.has_source_link_layer = true;
        rs.source_link_layer = socket.captured ? socket.frame_source : socket.hardware_address;
        if (socket.captured) {
            send_captured(session, socket, solicit, build_router_solicitation(rs));
            note_send(session.pacer, ipv6_pacer_key(socket.device), PacerClock::now());
            continue;
        }
        if (send_ipv6(socket.dhcp, solicit.data(), solicit.size(), kAllDhcpAgents, kDhcpv6ServerPort, socket.index) < 0)
            note_send_failure(session, socket, "SOLICIT");
        else
            session.sends6.solicits += 1;
        const std::vector<std::uint8_t> solicitation = build_router_solicitation(rs);
        if (socket.router == kNoEndpoint) {
            note_send(session.pacer, ipv6_pacer_key(socket.device), PacerClock::now());
            continue;
        }
        if (send_ipv6(socket.router, solicitation.data(), solicitation.size(), kAllRouters, 0, socket.index) < 0)
            note_send_failure(session, socket, "router solicitation");
        else
            session.sends6.router_solicitations += 1;
        note_send(session.pacer, ipv6_pacer_key(socket.device), PacerClock::now());
    }
    // Answers are ours when they carry the client identifier of the interface they come in on; with one DUID
    // per interface, each socket's request is told by its own.
}

namespace {

// One endpoint to wait on: the socket it belongs to, and whether it is the router endpoint. An endpoint that
// several interfaces share (Winsock's one port 546) is waited on once; none that is missing.
struct Ipv6Slot {
    std::size_t socket = 0;
    bool router = false;
};

std::vector<Ipv6Slot> ipv6_slots(const ProbeSession& session)
{
    std::vector<Ipv6Slot> slots;
    std::vector<Endpoint> seen;
    for (const bool router : {false, true})
        for (std::size_t k = 0; k < session.sockets6.size(); ++k) {
            const Endpoint endpoint = router ? session.sockets6[k].router : session.sockets6[k].dhcp;
            if (endpoint == kNoEndpoint || std::find(seen.begin(), seen.end(), endpoint) != seen.end()) continue;
            seen.push_back(endpoint);
            slots.push_back({k, router});
        }
    return slots;
}

}  // namespace

void add_ipv6_endpoints(const ProbeSession& session, std::vector<Endpoint>& endpoints)
{
    for (const Ipv6Slot& slot : ipv6_slots(session))
        endpoints.push_back(slot.router ? session.sockets6[slot.socket].router : session.sockets6[slot.socket].dhcp);
}

namespace {

void send_captured(ProbeSession& session, const Ipv6Socket& socket, const std::vector<std::uint8_t>& solicit,
                   const std::vector<std::uint8_t>& solicitation)
{
    const std::vector<std::uint8_t> udp =
        build_ipv6_udp({socket.link_local, kAllDhcpAgents, kDhcpv6HopLimit}, kDhcpv6ClientPort, kDhcpv6ServerPort,
                       solicit.data(), solicit.size());
    const std::vector<std::uint8_t> frame = multicast_frame(socket, kAllDhcpAgents, udp);
    if (send_frame(socket.capture, frame.data(), frame.size()) < 0)
        note_send_failure(session, socket, "SOLICIT");
    else
        session.sends6.solicits += 1;
    const std::vector<std::uint8_t> icmp = build_ipv6_icmpv6(
        {socket.link_local, kAllRouters, kNeighborDiscoveryHopLimit}, solicitation.data(), solicitation.size());
    const std::vector<std::uint8_t> rs_frame = multicast_frame(socket, kAllRouters, icmp);
    if (send_frame(socket.capture, rs_frame.data(), rs_frame.size()) < 0)
        note_send_failure(session, socket, "router solicitation");
    else
        session.sends6.router_solicitations += 1;
}

void handle_dhcpv6(ProbeSession& session, const Ipv6Socket& socket, const std::uint8_t* data, std::size_t length,
                   const Ipv6Address& source, std::uint16_t port, bool truncated)
{
    Dhcpv6Record record;
    record.unix_ms = unix_ms_now();
    record.elapsed = elapsed_now(session);
    record.round = session.round;
    record.interface = socket.device;
    record.source = source;
    record.port = port;
    record.length = length;
    record.truncated = truncated;
    record.message = decode_dhcpv6(data, length).message;
    Ipv6Request request = session.request6;
    request.client_duid = duid_ll(socket.hardware_address);
    judge_dhcpv6_answer(record, request);
    record.expected = dhcpv6_server_expected(session.options.expected6, record.message, record.source);
    tally_dhcpv6(session.run6, record);
    tally_dhcpv6(session.round6, record);
    const bool named = expects_servers(session.options.expected6);
    if (session.options.format == OutputFormat::json)
        print_session_line(session, dhcpv6_json(record, named));
    else if (session.options.format == OutputFormat::text)
        report_lines(session, dhcpv6_block_lines(record, named));
}

void handle_advert(ProbeSession& session, const Ipv6Socket& socket, const std::uint8_t* icmp, std::size_t length,
                   const RouterAdvertContext& context)
{
    RouterRecord record;
    record.unix_ms = unix_ms_now();
    record.elapsed = elapsed_now(session);
    record.round = session.round;
    record.interface = socket.device;
    record.source = context.source;
    record.advert = decode_router_advert(icmp, length, context);
    if (record.advert.has_source_link_layer) {
        if (!session.vendors_loaded) {
            session.vendors = load_vendor_registry();
            session.vendors_loaded = true;
        }
        record.vendor = std::string(vendor_of(session.vendors, record.advert.source_link_layer));
    }
    record.expected = router_expected(session.options.expected6, record);
    tally_router(session.run6, record);
    tally_router(session.round6, record);
    const bool named = expects_routers(session.options.expected6);
    if (session.options.format == OutputFormat::json)
        print_session_line(session, router_json(record, named));
    else if (session.options.format == OutputFormat::text)
        report_lines(session, router_block_lines(record, named));
}

// Every frame ready in the ring: DHCPv6 to port 546 and router advertisements of the untagged link, the rest let
// go. A UDP checksum a local sender left to offload is not held against the datagram.
void take_captured(ProbeSession& session, Ipv6Socket& socket)
{
    CapturedFrame frame;
    while (next_captured_frame(socket.capture, frame)) {
        // The kernel hands the interface's packet socket its VLANs' frames too, their tag taken off: an answer
        // there is another link's, never this one's (a priority tag, VLAN 0, is this link's).
        if (frame.stripped_tci && (*frame.stripped_tci & kTagVlanIdMask) != 0) {
            session.run6.other_vlan += 1;
            session.round6.other_vlan += 1;
            continue;
        }
        if (frame.length < kIpv6FrameOffset || frame.data[12] != (kEthertypeIpv6 >> 8) ||
            frame.data[13] != (kEthertypeIpv6 & 0xff))
            continue;
        const std::uint8_t* ip = frame.data + kIpv6FrameOffset;
        const std::size_t size = frame.length - kIpv6FrameOffset;
        const Ipv6Packet packet = decode_ipv6_packet(ip, size);
        if (packet.outcome != Ipv6Outcome::kOk) continue;
        if (packet.upper_protocol == kNextHeaderUdp) {
            const UdpDatagram udp = decode_udp(ip, size, packet);
            const bool checked = udp.problem == UpperProblem::kNone ||
                                 (udp.problem == UpperProblem::kBadChecksum && frame.checksum_unfinished);
            if (!checked || udp.destination_port != kDhcpv6ClientPort) continue;
            handle_dhcpv6(session, socket, ip + udp.payload_offset, udp.payload_length, packet.source, udp.source_port,
                          frame.length < frame.wire_length);
        } else if (packet.upper_protocol == kNextHeaderIcmpv6) {
            const Icmpv6Message icmp = decode_icmpv6(ip, size, packet);
            if (icmp.problem == UpperProblem::kWrongProtocol || icmp.problem == UpperProblem::kTooShort ||
                icmp.type != kIcmpv6RouterAdvertisement)
                continue;
            RouterAdvertContext context;
            context.hop_limit = packet.hop_limit;
            context.source = packet.source;
            context.destination = packet.destination;
            context.verify_checksum = true;
            handle_advert(session, socket, ip + icmp.offset, icmp.length, context);
        }
    }
}

// The kernel's drop count on one IPv6 endpoint so far (-1: none came). The run keeps the sum, and the round what
// was added while it was open.
void note_ipv6_drops(ProbeSession& session, std::size_t index, std::size_t endpoints, long long drops)
{
    if (drops < 0) return;
    session.drops6.resize(endpoints, 0);
    session.drops6[index] = drops;
    long long total = 0;
    for (const long long count : session.drops6) total += count;
    const long long added = total - std::max(session.run6.kernel_drops, 0LL);
    if (added > 0) session.round6.kernel_drops = std::max(session.round6.kernel_drops, 0LL) + added;
    session.run6.kernel_drops = total;
}

}  // namespace

void take_ipv6_datagram(ProbeSession& session, std::size_t index)
{
    const std::vector<Ipv6Slot> slots = ipv6_slots(session);
    if (index >= slots.size()) return;
    const bool router = slots[index].router;
    Ipv6Socket& receiving = session.sockets6[slots[index].socket];
    if (receiving.captured) {
        take_captured(session, receiving);
        if (update_capture_counts(receiving.capture))
            note_ipv6_drops(session, index, slots.size(), receiving.capture.kernel_drops);
        return;
    }
    // Not zeroed: the kernel fills what is read, and only that is looked at.
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kIpv6BufferSize]);
    Ipv6Arrival arrival;
    const int length = receive_ipv6(router ? receiving.router : receiving.dhcp, buffer.get(), kIpv6BufferSize, arrival);
    if (length < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            print_line(stderr, "orvane-probe: a receive failed: " + network_error_text(last_network_error()));
        return;
    }
    // Where one socket serves every interface, an answer belongs to the interface it came in on.
    const Ipv6Socket* owner = &receiving;
    for (const Ipv6Socket& other : session.sockets6)
        if (other.index != 0 && other.index == arrival.interface_index) owner = &other;
    const Ipv6Socket& socket = *owner;
    note_ipv6_drops(session, index, slots.size(), arrival.kernel_drops);
    if (!router) {
        handle_dhcpv6(session, socket, buffer.get(), static_cast<std::size_t>(length), arrival.source, arrival.port,
                      arrival.truncated);
        return;
    }
    RouterAdvertContext context;
    context.hop_limit = static_cast<std::uint8_t>(arrival.hop_limit < 0 ? 0 : arrival.hop_limit);
    context.source = arrival.source;
    context.destination = arrival.destination;
    // The kernel checked the sum of what a raw ICMPv6 socket hands up.
    context.verify_checksum = false;
    handle_advert(session, socket, buffer.get(), static_cast<std::size_t>(length), context);
}
