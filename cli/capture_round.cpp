// Capture mode's half of a round: framed DISCOVERs out, captured replies in.
#include "cli/capture_round.h"

#include <array>

#include "cli/console_output.h"
#include "common/wrapping_count.h"
#include "host/vendor_registry_files.h"
#include "net/reply_intake.h"
#include "protocol/frame_builder.h"

namespace {

bool is_json(const ProbeSession& session)
{
    return session.options.format == OutputFormat::json;
}

std::uint16_t next_identification(ProbeSession& session)
{
    return static_cast<std::uint16_t>(session.sends.sent + session.sends.failed + 1);
}

}  // namespace

std::string pacer_key(const std::string& device, std::uint16_t lan)
{
    return lan == kUntaggedLan ? device : device + "." + std::to_string(lan);
}

void send_captured_requests(ProbeSession& session, const ProbeSocket& socket)
{
    fill_discovery_request(session.request, socket.hardware_address);
    // The DISCOVER with the largest headers: a tag, no IP options.
    std::array<std::uint8_t, 14 + 4 + 20 + 8 + kDhcpMessageSize> frame{};
    for (const std::uint16_t lan : session.options.lans) {
        const std::string key = pacer_key(socket.device, lan);
        const PacerClock::time_point allowed = next_send_allowed(session.pacer, key);
        if (PacerClock::now() < allowed) listen_until(session, allowed, false);
        if (run_cut_short(session)) return;
        UdpFrameFields fields;
        fields.source_mac = socket.frame_source;
        fields.vlan_id = lan;
        fields.identification = next_identification(session);
        const std::size_t length = build_udp_frame(fields, session.request, frame.data(), frame.size());
        const int sent = length == 0 ? -1 : send_frame(socket.capture, frame.data(), length);
        note_send(session.pacer, key, PacerClock::now());
        session.sent_count = next_count(session.sent_count);
        if (sent < 0) {
            session.sends.failed += 1;
            session.sends.last_error = last_network_error();
            print_line(stderr, "orvane-probe: the request was not sent on " + terminal_text(socket.device) +
                                   (lan == kUntaggedLan ? std::string() : " VLAN " + std::to_string(lan)) + ": " +
                                   network_error_text(session.sends.last_error));
        } else {
            session.sends.sent += 1;
        }
        if (!is_json(session))
            print_line(stderr, "Packets Sent: " + std::to_string(static_cast<std::uint32_t>(session.sent_count)));
    }
}

void take_captured_replies(ProbeSession& session, std::size_t index)
{
    ProbeSocket& socket = session.sockets[index];
    CapturedDatagram datagram;
    while (!run_cut_short(session) && next_captured_datagram(socket.capture, datagram, session.intake.frames)) {
        // On port 67 the link carries requests too: other clients', a relay's. Only a reply on its way to a
        // relay is one of ours to judge.
        if (datagram.frame.destination_port == kDhcpServerPort &&
            (datagram.length <= kOpOffset || datagram.payload[kOpOffset] != kBootReply)) {
            session.intake.requests_seen += 1;
            continue;
        }
        // The link carries other hosts' replies too; only what a socket bound here would take answers us.
        const NotOurs kind = judge_ours(datagram.frame, datagram.payload, datagram.length, socket.identity);
        if (kind != NotOurs::ours) {
            session.intake.not_ours[static_cast<std::size_t>(kind)] += 1;
            continue;
        }
        Arrival arrived;
        int length = take_captured_reply(datagram, session.log, session.reply_buffer, session.reply_summary, &arrived);
        if (length < 0) length = static_cast<int>(session.reply_buffer.size());
        ReplyRecord reply;
        reply.interface = socket.device;
        reply.source = arrived.source;
        reply.length = static_cast<std::size_t>(length);
        reply.truncated = arrived.truncated;
        reply.datagram_length = arrived.datagram_length;
        reply.captured = true;
        reply.vlan = frame_vlan_id(datagram.frame);
        reply.ethernet = datagram.frame.source_mac;
        if (!session.vendors_loaded) {
            session.vendors = load_vendor_registry();
            session.vendors_loaded = true;
        }
        reply.vendor = std::string(vendor_of(session.vendors, reply.ethernet));
        handle_reply(session, reply);
    }
    if (update_capture_counts(socket.capture)) note_kernel_drops(session, index, socket.capture.kernel_drops);
}
