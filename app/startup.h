// The window program's start-up into AppState: the socket library, the two endpoints, the drop of
// privileges, then the host's Ethernet address.
#pragma once

#include "host/startup.h"

// Runs the start-up steps into app_state. On a failure it returns at once: nothing is
// released and the hardware address is not looked up; the caller ends with status 1.
// A program that cannot give up its privileges once the ports are bound fails too: it
// would otherwise read untrusted datagrams with them.
StartupOutcome start_up();

// Fills app_state.hardware_address from the host's interface table; leaves it as it was
// when the table cannot be read or no Ethernet interface qualifies.
void find_hardware_address();
