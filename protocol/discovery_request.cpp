// The DHCP DISCOVER message's bytes.
#include "protocol/discovery_request.h"

#include <algorithm>

void fill_discovery_request(DiscoveryRequest& request, const HardwareAddress& address)
{
    request[kOpOffset] = kBootRequest;
    request[kHardwareTypeOffset] = kHardwareTypeEthernet;
    request[kHardwareLengthOffset] = kEthernetAddressLength;
    request[kHopsOffset] = 0;
    std::copy(kTransactionId.begin(), kTransactionId.end(), request.begin() + kTransactionIdOffset);
    // flags: only the broadcast bit, so servers answer by broadcast
    request[kFlagsOffset] = kBroadcastFlag >> 8;
    request[kFlagsOffset + 1] = kBroadcastFlag & 0xFF;
    // ciaddr, yiaddr, siaddr, giaddr
    std::fill(request.begin() + kClientAddressOffset, request.begin() + kClientHardwareOffset, 0);
    std::copy(address.begin(), address.end(), request.begin() + kClientHardwareOffset);
    request[kSecondsOffset] = 0;
    request[kSecondsOffset + 1] = 0;
    std::copy(kMagicCookie.begin(), kMagicCookie.end(), request.begin() + kMagicCookieOffset);
    request[kOptionsOffset] = kOptionMessageType;
    request[kOptionsOffset + 1] = 1;
    request[kOptionsOffset + 2] = kDhcpDiscover;
    request[kOptionsOffset + 3] = kOptionEnd;
}
