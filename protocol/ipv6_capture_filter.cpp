// The IPv6 capture filter as data: ethertype, next header, then port 546 or ICMPv6 type 134.
#include "protocol/ipv6_capture_filter.h"

#include "common/dhcpv6_wire.h"

namespace {

constexpr std::uint32_t kEthernetHeaderSize = 14;
constexpr std::uint32_t kEthertypeOffset = 12;
constexpr std::uint32_t kNextHeaderOffset = kEthernetHeaderSize + 6;
constexpr std::uint32_t kUpperOffset = kEthernetHeaderSize + kIpv6HeaderSize;
constexpr std::uint16_t kJumpEqual = kBpfJmp | kBpfJeq | kBpfConstant;
constexpr std::uint16_t kReturn = kBpfRet | kBpfConstant;

// Jumps count instructions to skip after the current one.
constexpr BpfInstruction kFilter[] = {
    {kBpfLoadHalf, 0, 0, kEthertypeOffset},          // 0
    {kJumpEqual, 0, 8, kEthertypeIpv6},              // 1: not IPv6 -> drop
    {kBpfLoadByte, 0, 0, kNextHeaderOffset},         // 2
    {kJumpEqual, 0, 2, kNextHeaderUdp},              // 3: not UDP -> 6
    {kBpfLoadHalf, 0, 0, kUpperOffset + 2},          // 4: UDP destination port
    {kJumpEqual, 3, 4, kDhcpv6ClientPort},           // 5: -> keep / drop
    {kJumpEqual, 0, 3, kNextHeaderIcmpv6},           // 6: not ICMPv6 -> drop
    {kBpfLoadByte, 0, 0, kUpperOffset},              // 7: ICMPv6 type
    {kJumpEqual, 0, 1, kIcmpv6RouterAdvertisement},  // 8: -> keep / drop
    {kReturn, 0, 0, kFilterAcceptLength},            // 9: keep
    {kReturn, 0, 0, 0},                              // 10: drop
};

}  // namespace

const BpfInstruction* ipv6_capture_filter(std::size_t& count)
{
    count = sizeof kFilter / sizeof kFilter[0];
    return kFilter;
}
