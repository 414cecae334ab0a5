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

}  // namespace

const std::array<BpfInstruction, kReplyCaptureFilterSize> kReplyCaptureFilter{{
    bpf_statement(kBpfLoadWord, kBpfPacketTypeOffset),
    bpf_branch(kBpfJeq, kPacketTypeHost, 1, kLinkType, 2),
    bpf_branch(kBpfJeq, kPacketTypeBroadcast, 2, kLinkType, kReject),
    // kLinkType
    bpf_statement(kBpfLoadWord, kBpfLinkTypeOffset),
    bpf_branch(kBpfJeq, kLinkTypeEthernet, 4, kTag, 5),
    bpf_branch(kBpfJeq, kLinkTypeLoopback, 5, kTag, kReject),
    // kTag: a stripped tag passes only with VLAN id 0; a tag still in the frame fails the EtherType below.
    bpf_statement(kBpfLoadWord, kBpfVlanPresentOffset),
    bpf_branch(kBpfJeq, 0, 7, kIpv4, 8),
    bpf_statement(kBpfLoadWord, kBpfVlanTagOffset),
    bpf_branch(kBpfJset, kVlanIdMask, 9, kReject, kIpv4),
    // kIpv4
    bpf_statement(kBpfLoadHalf, 12),
    bpf_branch(kBpfJeq, kEtherTypeIpv4, 11, 12, kReject),
    bpf_statement(kBpfLoadByte, kIp + kIpv4ProtocolOffset),
    bpf_branch(kBpfJeq, kIpv4ProtocolUdp, 13, 14, kReject),
    bpf_statement(kBpfLoadHalf, kIp + kIpv4FragmentOffset),
    bpf_branch(kBpfJset, kAnyFragment, 15, kReject, 16),
    bpf_statement(kBpfLoadHeaderLength, kIp),
    bpf_statement(kBpfLoadHalfAfterX, kIp + kUdpDestinationPortOffset),
    bpf_branch(kBpfJeq, kDhcpClientPort, 18, kAccept, kReject),
    // kAccept, kReject
    bpf_statement(kBpfRet | kBpfConstant, kFilterAcceptLength),
    bpf_statement(kBpfRet | kBpfConstant, 0),
}};
