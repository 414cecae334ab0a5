// The kernel socket filter of capture mode, as a classic BPF program: IPv4 UDP to port 68 or 67 only.
#include "protocol/capture_filter.h"

#include "common/dhcp_wire.h"
#include "protocol/frame_layout.h"

namespace {

// Where the pieces of the program start; the filter only jumps forward.
constexpr std::size_t kUntagged = 6;
constexpr std::size_t kTagged = 14;
constexpr std::size_t kAccept = 24;
constexpr std::size_t kReject = 25;

constexpr std::uint32_t kUntaggedIp = kEthernetHeaderSize;
constexpr std::uint32_t kTaggedIp = kEthernetHeaderSize + kVlanTagSize;

}  // namespace

// After the EtherType checks, both halves do the same at their own IPv4 offset: UDP only; a
// non-first fragment passes (its ports are somewhere in another frame); else the destination port,
// found past the options through the header length in X.
const std::array<BpfInstruction, kCaptureFilterSize> kCaptureFilter{{
    bpf_statement(kBpfLoadWord, kBpfPacketTypeOffset),
    bpf_branch(kBpfJeq, kPacketTypeOutgoing, 1, kReject, 2),
    bpf_statement(kBpfLoadHalf, 12),
    bpf_branch(kBpfJeq, kEtherTypeIpv4, 3, kUntagged, 4),
    bpf_branch(kBpfJeq, kTpidCustomerTag, 4, kTagged, 5),
    bpf_branch(kBpfJeq, kTpidServiceTag, 5, kTagged, kReject),
    // kUntagged
    bpf_statement(kBpfLoadByte, kUntaggedIp + kIpv4ProtocolOffset),
    bpf_branch(kBpfJeq, kIpv4ProtocolUdp, 7, 8, kReject),
    bpf_statement(kBpfLoadHalf, kUntaggedIp + kIpv4FragmentOffset),
    bpf_branch(kBpfJset, kIpv4FragmentOffsetMask, 9, kAccept, 10),
    bpf_statement(kBpfLoadHeaderLength, kUntaggedIp),
    bpf_statement(kBpfLoadHalfAfterX, kUntaggedIp + kUdpDestinationPortOffset),
    bpf_branch(kBpfJeq, kDhcpClientPort, 12, kAccept, 13),
    bpf_branch(kBpfJeq, kDhcpServerPort, 13, kAccept, kReject),
    // kTagged
    bpf_statement(kBpfLoadHalf, 16),
    bpf_branch(kBpfJeq, kEtherTypeIpv4, 15, 16, kReject),
    bpf_statement(kBpfLoadByte, kTaggedIp + kIpv4ProtocolOffset),
    bpf_branch(kBpfJeq, kIpv4ProtocolUdp, 17, 18, kReject),
    bpf_statement(kBpfLoadHalf, kTaggedIp + kIpv4FragmentOffset),
    bpf_branch(kBpfJset, kIpv4FragmentOffsetMask, 19, kAccept, 20),
    bpf_statement(kBpfLoadHeaderLength, kTaggedIp),
    bpf_statement(kBpfLoadHalfAfterX, kTaggedIp + kUdpDestinationPortOffset),
    bpf_branch(kBpfJeq, kDhcpClientPort, 22, kAccept, 23),
    bpf_branch(kBpfJeq, kDhcpServerPort, 23, kAccept, kReject),
    // kAccept, kReject
    bpf_statement(kBpfRet | kBpfConstant, kFilterAcceptLength),
    bpf_statement(kBpfRet | kBpfConstant, 0),
}};
