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

// After the EtherType checks, both halves do the same at their own IPv4 offset: UDP only; a
// non-first fragment passes (its ports are somewhere in another frame); else the destination port,
// found past the options through the header length in X.
const std::array<BpfInstruction, kCaptureFilterSize> kCaptureFilter{{
    statement(kLoadWord, kBpfPacketTypeOffset),
    branch(kBpfJeq, kPacketTypeOutgoing, 1, kReject, 2),
    statement(kLoadHalf, 12),
    branch(kBpfJeq, kEtherTypeIpv4, 3, kUntagged, 4),
    branch(kBpfJeq, kTpidCustomerTag, 4, kTagged, 5),
    branch(kBpfJeq, kTpidServiceTag, 5, kTagged, kReject),
    // kUntagged
    statement(kLoadByte, kUntaggedIp + kIpv4ProtocolOffset),
    branch(kBpfJeq, kIpv4ProtocolUdp, 7, 8, kReject),
    statement(kLoadHalf, kUntaggedIp + kIpv4FragmentOffset),
    branch(kBpfJset, kIpv4FragmentOffsetMask, 9, kAccept, 10),
    statement(kLoadHeaderLength, kUntaggedIp),
    statement(kLoadHalfAfterX, kUntaggedIp + kUdpDestinationPortOffset),
    branch(kBpfJeq, kDhcpClientPort, 12, kAccept, 13),
    branch(kBpfJeq, kDhcpServerPort, 13, kAccept, kReject),
    // kTagged
    statement(kLoadHalf, 16),
    branch(kBpfJeq, kEtherTypeIpv4, 15, 16, kReject),
    statement(kLoadByte, kTaggedIp + kIpv4ProtocolOffset),
    branch(kBpfJeq, kIpv4ProtocolUdp, 17, 18, kReject),
    statement(kLoadHalf, kTaggedIp + kIpv4FragmentOffset),
    branch(kBpfJset, kIpv4FragmentOffsetMask, 19, kAccept, 20),
    statement(kLoadHeaderLength, kTaggedIp),
    statement(kLoadHalfAfterX, kTaggedIp + kUdpDestinationPortOffset),
    branch(kBpfJeq, kDhcpClientPort, 22, kAccept, 23),
    branch(kBpfJeq, kDhcpServerPort, 23, kAccept, kReject),
    // kAccept, kReject
    statement(kBpfRet | kBpfConstant, kFilterAcceptLength),
    statement(kBpfRet | kBpfConstant, 0),
}};
