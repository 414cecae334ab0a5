// The kernel socket filter of the window program's packet socket: IPv4 UDP to port 68 as a bound socket takes it.
#include "protocol/reply_capture_filter.h"

#include "common/dhcp_wire.h"
#include "protocol/frame_layout.h"

namespace {

// The frame is untagged once past the tag checks: the IPv4 header follows the Ethernet header.
constexpr std::uint32_t kIp = kEthernetHeaderSize;
constexpr std::size_t kLinkType = 3;
constexpr std::size_t kTag = 6;
constexpr std::size_t kIpv4 = 10;
constexpr std::size_t kAccept = 19;
constexpr std::size_t kReject = 20;
// Any of MF and the fragment offset.
constexpr std::uint32_t kAnyFragment = kIpv4MoreFragments | kIpv4FragmentOffsetMask;

constexpr BpfInstruction statement(std::uint16_t code, std::uint32_t k)
{
    return BpfInstruction{code, 0, 0, k};
}

// A conditional jump at index at, to if_true or if_false.
constexpr BpfInstruction branch(std::uint16_t operation, std::uint32_t k, std::size_t at, std::size_t if_true,
                                std::size_t if_false)
{
    return BpfInstruction{static_cast<std::uint16_t>(kBpfJmp | operation | kBpfConstant),
                          static_cast<std::uint8_t>(if_true - at - 1), static_cast<std::uint8_t>(if_false - at - 1), k};
}

constexpr std::uint16_t kLoadWord = kBpfLd | kBpfWord | kBpfAbs;
constexpr std::uint16_t kLoadHalf = kBpfLd | kBpfHalf | kBpfAbs;
constexpr std::uint16_t kLoadByte = kBpfLd | kBpfByte | kBpfAbs;
constexpr std::uint16_t kLoadHalfAfterX = kBpfLd | kBpfHalf | kBpfInd;
constexpr std::uint16_t kLoadHeaderLength = kBpfLdx | kBpfByte | kBpfMsh;

}  // namespace

const std::array<BpfInstruction, kReplyCaptureFilterSize> kReplyCaptureFilter{{
    statement(kLoadWord, kBpfPacketTypeOffset),
    branch(kBpfJeq, kPacketTypeHost, 1, kLinkType, 2),
    branch(kBpfJeq, kPacketTypeBroadcast, 2, kLinkType, kReject),
    // kLinkType
    statement(kLoadWord, kBpfLinkTypeOffset),
    branch(kBpfJeq, kLinkTypeEthernet, 4, kTag, 5),
    branch(kBpfJeq, kLinkTypeLoopback, 5, kTag, kReject),
    // kTag: a stripped tag passes only with VLAN id 0; a tag still in the frame fails the EtherType below.
    statement(kLoadWord, kBpfVlanPresentOffset),
    branch(kBpfJeq, 0, 7, kIpv4, 8),
    statement(kLoadWord, kBpfVlanTagOffset),
    branch(kBpfJset, kVlanIdMask, 9, kReject, kIpv4),
    // kIpv4
    statement(kLoadHalf, 12),
    branch(kBpfJeq, kEtherTypeIpv4, 11, 12, kReject),
    statement(kLoadByte, kIp + kIpv4ProtocolOffset),
    branch(kBpfJeq, kIpv4ProtocolUdp, 13, 14, kReject),
    statement(kLoadHalf, kIp + kIpv4FragmentOffset),
    branch(kBpfJset, kAnyFragment, 15, kReject, 16),
    statement(kLoadHeaderLength, kIp),
    statement(kLoadHalfAfterX, kIp + kUdpDestinationPortOffset),
    branch(kBpfJeq, kDhcpClientPort, 18, kAccept, kReject),
    // kAccept, kReject
    statement(kBpfRet | kBpfConstant, kFilterAcceptLength),
    statement(kBpfRet | kBpfConstant, 0),
}};
