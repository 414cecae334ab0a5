// Linux implementation of the window program's start-up into AppState: the helper started, which opens the two
// endpoints (or the packet socket in place of a reply endpoint that another program holds) and drops its rights,
// then the rights to sockets given up here too, then the host's Ethernet address.
#include "app/startup.h"

#include <cerrno>

#include "app/app_state.h"
#include "app/helper_link.h"
#include "host/interface_rows.h"
#include "host/privileges_linux.h"

StartupOutcome start_up()
{
    const StartupOutcome outcome = start_helper();
    if (outcome.failed_step != StartupStep::none) return outcome;
    // Started by root, the program keeps root's access to files (LogFile is written wherever root may write) and
    // gives up only what opens the sockets, which the helper holds; a plain user's program holds none of it.
    if (!drop_socket_rights()) return {StartupStep::privileges, errno};
    find_hardware_address();
    return outcome;
}

void find_hardware_address()
{
    // Rows go straight into app_state, so a table that breaks off keeps the last address found.
    read_hardware_address(app_state.hardware_address);
}
