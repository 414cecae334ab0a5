// The DHCP DISCOVER message: its bytes and its broadcast.
#include "discovery/discovery_request.h"

#include <algorithm>

#include "discovery/network.h"

void fill_discovery_request(DiscoveryRequest& request, const HardwareAddress& address)
{
    request[0] = kBootRequest;
    request[1] = kHardwareTypeEthernet;
    request[2] = kEthernetAddressLength;
    request[3] = 0;  // hops
    std::copy(std::begin(kTransactionId), std::end(kTransactionId), request.begin() + 4);
    request[10] = 0x80;  // flags: only the broadcast bit, so servers answer by broadcast
    request[11] = 0x00;
    std::fill(request.begin() + 12, request.begin() + 28, 0);  // ciaddr, yiaddr, siaddr, giaddr
    std::copy(address.begin(), address.end(), request.begin() + 28);
    request[8] = 0;  // secs
    request[9] = 0;
    std::copy(std::begin(kMagicCookie), std::end(kMagicCookie), request.begin() + 236);
    request[240] = kOptionMessageType;
    request[241] = 1;
    request[242] = kDhcpDiscover;
    request[243] = kOptionEnd;
}

int send_discovery(Endpoint endpoint)
{
    fill_discovery_request(app_state.discovery_request, app_state.hardware_address);
    return send_datagram(endpoint, app_state.discovery_request.data(), app_state.discovery_request.size(),
                         kLimitedBroadcast, kDhcpServerPort);
}
