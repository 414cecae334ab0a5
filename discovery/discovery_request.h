// The DHCP DISCOVER message: its bytes and its broadcast.
#pragma once

#include "common/app_state.h"

// Writes every field of the request into the buffer. Ranges the message does not use
// (the rest of chaddr, sname, file and the options behind End) are left as they are.
void fill_discovery_request(DiscoveryRequest& request, const HardwareAddress& address);

// Fills app_state.discovery_request from app_state.hardware_address and broadcasts all
// 548 bytes to 255.255.255.255:67 through endpoint. Returns the bytes sent, or -1.
int send_discovery(Endpoint endpoint);
