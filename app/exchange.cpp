// The window program's two halves of an exchange over AppState: the request sent, a reply taken.
#include "app/exchange.h"

#include "net/raw_log.h"
#include "net/reply_intake.h"

int send_discovery(Endpoint endpoint)
{
    fill_discovery_request(app_state.discovery_request, app_state.hardware_address);
    return send_datagram(endpoint, app_state.discovery_request.data(), app_state.discovery_request.size(),
                         kLimitedBroadcast, kDhcpServerPort);
}

int receive_reply(Endpoint endpoint)
{
    return take_reply(endpoint, kDefaultLogFilePath, app_state.reply_buffer, app_state.reply_summary);
}
