// Linux: what stop_network signals besides shutting the endpoints down, for waits that no shutdown breaks off.
#pragma once

// A descriptor that becomes readable at stop_network and stays so until the next start_network; waits poll it
// beside their own socket.
int network_stop_event();

// A socket that stop_network shuts down as it shuts the endpoints down, so that a receive blocked on it ends: the
// window program's link to its helper. forget_endpoint before it is closed.
void remember_endpoint(int fd);
void forget_endpoint(int fd);

// True from stop_network until the next start_network.
bool network_was_stopped();
