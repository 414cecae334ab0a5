// Linux implementation of the window program's start-up into AppState: the socket library, the two endpoints, or
// the packet socket in place of a reply endpoint that another program holds, the drop of privileges, then the
// host's Ethernet address.
#include "app/startup.h"

#include <cerrno>

#include "app/app_state.h"
#include "app/reply_capture.h"
#include "host/interface_rows.h"
#include "host/privileges.h"

StartupOutcome start_up()
{
    DiscoveryEndpoints endpoints;
    StartupOutcome outcome = open_discovery_endpoints(app_state.socket_library_state, endpoints);
    app_state.request_endpoint = endpoints.request;
    app_state.reply_endpoint = endpoints.reply;
    // A desktop's DHCP client holds port 68: the replies are read beside it, when the program may open a
    // packet socket. A refused bind (no right to the port) fails as it does everywhere.
    if (outcome.failed_step == StartupStep::reply_endpoint && is_address_in_use(outcome.error_code)) {
        outcome = open_reply_capture(outcome);
        // As after both binds: untrusted bytes are read from here on, so nothing keeps a privilege.
        if (outcome.failed_step == StartupStep::none && !drop_privileges()) outcome = {StartupStep::privileges, errno};
    }
    if (outcome.failed_step != StartupStep::none) return outcome;
    find_hardware_address();
    return outcome;
}

void find_hardware_address()
{
    // Rows go straight into app_state, so a table that breaks off keeps the last address found.
    read_hardware_address(app_state.hardware_address);
}
