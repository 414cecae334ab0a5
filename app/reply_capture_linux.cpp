// Linux: the window program's replies through a packet socket while another program holds UDP port 68.
#include "app/reply_capture.h"

#include "app/app_state.h"
#include "net/packet_capture.h"
#include "net/reply_intake.h"

namespace {

struct ReplyCapture {
    PacketCapture capture;
    FrameCounts frames;  // frames that were no datagram; the window shows none of them
};

ReplyCapture reply_capture;

const char* capture_step_text(CaptureStep step)
{
    switch (step) {
        case CaptureStep::socket: return "cannot open a packet socket";
        case CaptureStep::filter: return "cannot attach its filter";
        case CaptureStep::ring: return "cannot set up its receive ring";
        case CaptureStep::map: return "cannot map its receive ring";
        case CaptureStep::bind: return "cannot bind it";
        default: return "cannot capture";
    }
}

}  // namespace

StartupOutcome open_reply_capture(const StartupOutcome& held)
{
    if (open_reply_capture(reply_capture.capture).failed_step != CaptureStep::none) return held;
    app_state.reply_endpoint = reply_capture.capture.socket;
    return {};
}

bool is_reply_capture(Endpoint endpoint)
{
    return endpoint != kNoEndpoint && endpoint == reply_capture.capture.socket;
}

int receive_captured_reply()
{
    CapturedDatagram datagram;
    for (;;) {
        while (next_captured_datagram(reply_capture.capture, datagram, reply_capture.frames)) {
            // Copies the kernel passes on from a bridge's port to the bridge, and datagrams for other hosts,
            // never reach a bound socket.
            if (taken_by_host(datagram))
                return take_captured_reply(datagram, app_state.raw_log, app_state.reply_buffer,
                                           app_state.reply_summary);
        }
        if (!wait_for_capture(reply_capture.capture)) break;
    }
    // As a receive that stop_network broke off: nothing logged, the buffer walked over again.
    app_state.raw_log.last = LogOutcome{};
    decode_reply(app_state.reply_buffer, app_state.reply_summary);
    return -1;
}

void close_reply_capture()
{
    if (is_reply_capture(app_state.reply_endpoint)) app_state.reply_endpoint = kNoEndpoint;
    close_packet_capture(reply_capture.capture);
    reply_capture = ReplyCapture{};
}

std::string reply_capture_note(const StartupOutcome& outcome, const CaptureOpening& opening, const char* program_path)
{
    if (outcome.failed_step != StartupStep::reply_endpoint || !is_address_in_use(outcome.error_code)) return {};
    if (opening.failed_step == CaptureStep::none || is_permission_error(opening.error_code))
        return std::string(
                   ", or let orvane read its replies beside it with cap_net_raw: sudo setcap "
                   "cap_net_bind_service,cap_net_raw=+ep ") +
               program_path;
    return std::string("; reading the replies through a packet socket failed too: ") +
           capture_step_text(opening.failed_step) + ": " + network_error_text(opening.error_code);
}
