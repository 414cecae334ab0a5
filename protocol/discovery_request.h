// The DHCP DISCOVER message's bytes.
#pragma once

#include "common/dhcp_wire.h"
#include "common/ethernet.h"

using DiscoveryRequest = DhcpMessage;

// Writes every field of the request into the buffer. Ranges the message does not use
// (the rest of chaddr, sname, file and the options behind End) are left as they are.
void fill_discovery_request(DiscoveryRequest& request, const HardwareAddress& address);
