// Windows implementation of the window program's start-up into AppState: the socket library, the two
// endpoints, the drop of privileges, then the host's Ethernet address.
#include "app/startup.h"

#include "app/app_state.h"
#include "host/interface_rows.h"

StartupOutcome start_up()
{
    DiscoveryEndpoints endpoints;
    const StartupOutcome outcome = open_discovery_endpoints(app_state.socket_library_state, endpoints);
    app_state.request_endpoint = endpoints.request;
    app_state.reply_endpoint = endpoints.reply;
    if (outcome.failed_step != StartupStep::none) return outcome;
    find_hardware_address();
    return outcome;
}

void find_hardware_address()
{
    // Rows go straight into app_state, so a table that breaks off keeps the last address found.
    read_hardware_address(app_state.hardware_address);
}
