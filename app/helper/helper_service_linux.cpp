// Linux: the window program's privileged helper: its sockets, the drop, and serving the window program.
#include "app/helper/helper_service.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "common/ipv4.h"
#include "host/privileges.h"
#include "protocol/discovery_request.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSendInterval = std::chrono::seconds(1);
// Requests beyond these are not kept: a minute of DISCOVERs at the pace it sends them.
constexpr int kMaxWaitingRequests = 60;

struct RequestPacer {
    int waiting = 0;
    bool sent_before = false;
    Clock::time_point last_sent{};
    HardwareAddress address{};
};

bool send_frame(int channel, const HelperFrame& frame)
{
    std::array<std::uint8_t, kMaxHelperFrameSize> bytes{};
    const std::size_t length = encode_helper_frame(frame, bytes);
    return length != 0 && send(channel, bytes.data(), length, MSG_NOSIGNAL) == static_cast<ssize_t>(length);
}

// The milliseconds until the next waiting request may go: -1 with none waiting, 0 when it may go now.
int wait_before_sending(const RequestPacer& pacer)
{
    if (pacer.waiting == 0) return -1;
    if (!pacer.sent_before) return 0;
    const auto left = pacer.last_sent + kSendInterval - Clock::now();
    return static_cast<int>(std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

void send_due_request(RequestPacer& pacer, Endpoint request_endpoint)
{
    if (wait_before_sending(pacer) != 0) return;
    DiscoveryRequest request{};
    fill_discovery_request(request, pacer.address);
    send_datagram(request_endpoint, request.data(), request.size(), kLimitedBroadcast, kDhcpServerPort);
    pacer.waiting -= 1;
    pacer.sent_before = true;
    pacer.last_sent = Clock::now();
}

// One datagram from port 68 to the window program, as the receive returned it.
bool pass_on_received(int channel, Endpoint reply_endpoint)
{
    HelperFrame frame;
    frame.kind = HelperFrameKind::reply;
    Arrival arrival;
    frame.result = receive_datagram(reply_endpoint, frame.bytes.data(), frame.bytes.size(), &arrival);
    // A datagram longer than the buffer left its first bytes there; a failed receive left none.
    frame.count = static_cast<std::uint16_t>(frame.result >= 0   ? frame.result
                                             : arrival.truncated ? static_cast<int>(frame.bytes.size())
                                                                 : 0);
    return send_frame(channel, frame);
}

// Every datagram in the capture's ring that a socket bound to port 68 would have been handed.
bool pass_on_captured(int channel, HelperSockets& sockets)
{
    static FrameCounts frames;
    CapturedDatagram datagram;
    while (next_captured_datagram(sockets.capture, datagram, frames)) {
        if (!taken_by_host(datagram)) continue;
        HelperFrame frame;
        frame.kind = HelperFrameKind::reply;
        const std::size_t count = std::min(datagram.length, frame.bytes.size());
        std::copy_n(datagram.payload, count, frame.bytes.begin());
        frame.count = static_cast<std::uint16_t>(count);
        frame.result = datagram.length > frame.bytes.size() ? -1 : static_cast<std::int32_t>(datagram.length);
        if (!send_frame(channel, frame)) return false;
    }
    return true;
}

enum class Request { taken, closed, refused };

// A request from the window program: taken, its end closed, or refused (what no window program sends).
Request take_request(int channel, RequestPacer& pacer)
{
    std::uint8_t bytes[kMaxHelperFrameSize + 1];
    const ssize_t length = recv(channel, bytes, sizeof bytes, MSG_DONTWAIT);
    if (length < 0) return errno == EAGAIN || errno == EINTR ? Request::taken : Request::closed;
    if (length == 0) return Request::closed;
    const HelperFrameDecoding decoding = decode_helper_frame(bytes, static_cast<std::size_t>(length));
    if (decoding.error != HelperFrameError::none || decoding.frame.kind != HelperFrameKind::send_discovery)
        return Request::refused;
    pacer.address = decoding.frame.hardware_address;
    pacer.waiting = std::min(pacer.waiting + 1, kMaxWaitingRequests);
    return Request::taken;
}

// Tells the window program that no more replies come, and why; the helper ends next.
int stop(int channel, int error)
{
    HelperFrame frame;
    frame.kind = HelperFrameKind::stopped;
    frame.error_code = static_cast<std::uint32_t>(error);
    send_frame(channel, frame);
    return 1;
}

// An error of the packet socket, taken so that the next poll does not report it again.
void take_socket_error(Endpoint socket)
{
    int error = 0;
    socklen_t size = sizeof error;
    getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &size);
}

}  // namespace

HelperFrame open_helper_sockets(HelperSockets& sockets)
{
    SocketLibraryState library{};
    StartupOutcome outcome = open_discovery_endpoints(library, sockets.endpoints);
    CaptureOpening opening;
    // A desktop's DHCP client holds port 68: the replies are read beside it through a packet socket, as the window
    // program read them before it had a helper.
    if (outcome.failed_step == StartupStep::reply_endpoint && is_address_in_use(outcome.error_code)) {
        opening = open_reply_capture(sockets.capture);
        if (opening.failed_step == CaptureStep::none)
            outcome = drop_privileges() ? StartupOutcome{} : StartupOutcome{StartupStep::privileges, errno};
    }
    // Nothing more is opened after a failure either.
    if (outcome.failed_step != StartupStep::none) drop_privileges();
    HelperFrame frame;
    frame.kind = HelperFrameKind::started;
    frame.failed_step = static_cast<std::uint8_t>(outcome.failed_step);
    frame.error_code = static_cast<std::uint32_t>(outcome.error_code);
    frame.capture_step = static_cast<std::uint8_t>(opening.failed_step);
    frame.capture_error = static_cast<std::uint32_t>(opening.error_code);
    return frame;
}

int serve_window_program(int channel, HelperSockets& sockets)
{
    const bool capturing = sockets.capture.socket != kNoEndpoint;
    const Endpoint replies = capturing ? sockets.capture.socket : sockets.endpoints.reply;
    RequestPacer pacer;
    for (;;) {
        pollfd waits[2] = {{channel, POLLIN, 0}, {static_cast<int>(replies), POLLIN, 0}};
        const int ready = poll(waits, 2, wait_before_sending(pacer));
        if (ready < 0 && errno != EINTR) return 1;
        // The window program's end closed (it ended, was killed, or stopped): so does the helper.
        if ((waits[0].revents & (POLLHUP | POLLERR)) != 0 && (waits[0].revents & POLLIN) == 0) return 0;
        if ((waits[0].revents & POLLIN) != 0) {
            const Request request = take_request(channel, pacer);
            if (request == Request::closed) return 0;
            if (request == Request::refused) return stop(channel, EPROTO);
        }
        if ((waits[1].revents & POLLNVAL) != 0) return stop(channel, EBADF);
        if ((waits[1].revents & POLLERR) != 0 && capturing) take_socket_error(replies);
        if ((waits[1].revents & (POLLIN | POLLERR)) != 0) {
            const bool passed = capturing ? pass_on_captured(channel, sockets) : pass_on_received(channel, replies);
            if (!passed) return 0;
        }
        send_due_request(pacer, sockets.endpoints.request);
    }
}
