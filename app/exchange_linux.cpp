// Linux implementation of the window program's two halves of an exchange over AppState: the request sent, a reply
// taken from the reply endpoint or, while another program holds port 68, from the packet socket in its place.
#include "app/exchange.h"

#include "app/log_notice.h"
#include "app/reply_capture.h"
#include "net/reply_intake.h"

int send_discovery(Endpoint endpoint)
{
    fill_discovery_request(app_state.discovery_request, app_state.hardware_address);
    return send_datagram(endpoint, app_state.discovery_request.data(), app_state.discovery_request.size(),
                         kLimitedBroadcast, kDhcpServerPort);
}

int receive_reply(Endpoint endpoint)
{
    const int length = is_reply_capture(endpoint)
                           ? receive_captured_reply()
                           : take_reply(endpoint, app_state.raw_log, app_state.reply_buffer, app_state.reply_summary);
    // An unwritable LogFile costs its replies' records, never their report; but the loss is said, once.
    tell_log_outcome(app_state.raw_log.last);
    return length;
}
