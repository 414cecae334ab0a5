// Capture mode's "ours only": the addresses, client and transaction of a captured reply against our own.
#include "cli/reply_ours.h"

#include <algorithm>

#include "common/dhcp_wire.h"

namespace {

bool bytes_equal(const std::uint8_t* data, const std::uint8_t* expected, std::size_t count)
{
    return std::equal(expected, expected + count, data);
}

}  // namespace

std::string_view not_ours_name(NotOurs kind)
{
    switch (kind) {
        case NotOurs::ours: return "ours";
        case NotOurs::other_station: return "other-station";
        case NotOurs::other_address: return "other-address";
        case NotOurs::other_client: return "other-client";
        case NotOurs::other_transaction: return "other-transaction";
    }
    return "unknown";
}

NotOurs judge_ours(const DecodedFrame& frame, const std::uint8_t* payload, std::size_t length, const OurIdentity& us)
{
    const HardwareAddress& mac = frame.destination_mac;
    if (mac != kBroadcastHardwareAddress && mac != us.interface_address && mac != us.client_address)
        return NotOurs::other_station;
    const Ipv4Address& ip = frame.destination_ip;
    const bool offered = length >= kOfferedAddressOffset + 4 &&
                         bytes_equal(payload + kOfferedAddressOffset, ip.data(), ip.size()) && !is_zero_address(ip);
    if (ip != kLimitedBroadcast && !offered &&
        std::find(us.addresses.begin(), us.addresses.end(), ip) == us.addresses.end())
        return NotOurs::other_address;
    if (length < kClientHardwareOffset + kEthernetAddressLength || payload[kOpOffset] != kBootReply)
        return NotOurs::ours;
    if (!bytes_equal(payload + kClientHardwareOffset, us.client_address.data(), us.client_address.size()))
        return NotOurs::other_client;
    if (!bytes_equal(payload + kTransactionIdOffset, kTransactionId.data(), kTransactionId.size()))
        return NotOurs::other_transaction;
    return NotOurs::ours;
}
