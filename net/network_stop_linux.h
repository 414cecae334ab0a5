// Linux: what stop_network signals besides shutting the endpoints down, for waits that no shutdown breaks off.
#pragma once

// A descriptor that becomes readable at stop_network and stays so until the next start_network; waits poll it
// beside their own socket.
int network_stop_event();
