// The host's Ethernet address, looked up once at start-up.
#pragma once

// Fills app_state.hardware_address from the host's interface table; leaves it as it was
// when the table cannot be read or no Ethernet interface qualifies.
void find_hardware_address();
