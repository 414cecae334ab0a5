// Windows implementation of the window program's exchange over AppState: the request sent, a reply taken.
#include "app/exchange.h"

#include "net/reply_intake.h"

int send_discovery(Endpoint endpoint)
{
    fill_discovery_request(app_state.discovery_request, app_state.hardware_address);
    return send_datagram(endpoint, app_state.discovery_request.data(), app_state.discovery_request.size(),
                         kLimitedBroadcast, kDhcpServerPort);
}

int receive_reply(Endpoint endpoint)
{
    // The log's outcome is not looked at: the window program skips an unwritable log without a word.
    return take_reply(endpoint, app_state.raw_log, app_state.reply_buffer, app_state.reply_summary);
}
