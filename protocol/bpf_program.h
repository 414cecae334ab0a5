// Classic BPF programs as data: the kernel socket filters of capture mode are built from these.
#pragma once

#include <cstddef>
#include <cstdint>

// One classic BPF instruction, laid out as the kernel's socket filter instruction: code, jump if
// true, jump if false (counted from the next instruction), and the constant. An array of these is
// handed to the kernel as it is.
struct BpfInstruction {
    std::uint16_t code;
    std::uint8_t jt;
    std::uint8_t jf;
    std::uint32_t k;
};
static_assert(sizeof(BpfInstruction) == 8 && offsetof(BpfInstruction, k) == 4);

// Opcode parts: instruction class, operand size, addressing mode, operation and source.
inline constexpr std::uint16_t kBpfLd = 0x00;
inline constexpr std::uint16_t kBpfLdx = 0x01;
inline constexpr std::uint16_t kBpfJmp = 0x05;
inline constexpr std::uint16_t kBpfRet = 0x06;
inline constexpr std::uint16_t kBpfWord = 0x00;
inline constexpr std::uint16_t kBpfHalf = 0x08;
inline constexpr std::uint16_t kBpfByte = 0x10;
inline constexpr std::uint16_t kBpfAbs = 0x20;
inline constexpr std::uint16_t kBpfInd = 0x40;
inline constexpr std::uint16_t kBpfMsh = 0xA0;  // X = 4 * (byte & 0x0F): an IPv4 header's length
inline constexpr std::uint16_t kBpfJeq = 0x10;
inline constexpr std::uint16_t kBpfJset = 0x40;
inline constexpr std::uint16_t kBpfConstant = 0x00;

// Linux reads packet metadata through loads at negative offsets; this one gives the packet type.
inline constexpr std::uint32_t kBpfPacketTypeOffset = 0xFFFFF000 + 4;
inline constexpr std::uint32_t kPacketTypeOutgoing = 4;
inline constexpr std::uint32_t kPacketTypeHost = 0;       // to this host's own hardware address
inline constexpr std::uint32_t kPacketTypeBroadcast = 1;  // to the broadcast address
// More metadata: the interface's ARPHRD type, whether the kernel took a VLAN tag off, and that tag.
inline constexpr std::uint32_t kBpfLinkTypeOffset = 0xFFFFF000 + 28;
inline constexpr std::uint32_t kBpfVlanTagOffset = 0xFFFFF000 + 44;
inline constexpr std::uint32_t kBpfVlanPresentOffset = 0xFFFFF000 + 48;
inline constexpr std::uint32_t kLinkTypeEthernet = 1;    // ARPHRD_ETHER
inline constexpr std::uint32_t kLinkTypeLoopback = 772;  // ARPHRD_LOOPBACK

// The length a filter accepts: more than any frame a ring slot holds, so frames pass whole.
inline constexpr std::uint32_t kFilterAcceptLength = 0x40000;

// The instructions the filters are written with: loads of a word, half-word or byte at an absolute offset, of a
// half-word at X plus an offset, and of an IPv4 header's length into X.
inline constexpr std::uint16_t kBpfLoadWord = kBpfLd | kBpfWord | kBpfAbs;
inline constexpr std::uint16_t kBpfLoadHalf = kBpfLd | kBpfHalf | kBpfAbs;
inline constexpr std::uint16_t kBpfLoadByte = kBpfLd | kBpfByte | kBpfAbs;
inline constexpr std::uint16_t kBpfLoadHalfAfterX = kBpfLd | kBpfHalf | kBpfInd;
inline constexpr std::uint16_t kBpfLoadHeaderLength = kBpfLdx | kBpfByte | kBpfMsh;

constexpr BpfInstruction bpf_statement(std::uint16_t code, std::uint32_t k)
{
    return BpfInstruction{code, 0, 0, k};
}

// A conditional jump at index at, to the indexes if_true or if_false (the filters only jump forward).
constexpr BpfInstruction bpf_branch(std::uint16_t operation, std::uint32_t k, std::size_t at, std::size_t if_true,
                                    std::size_t if_false)
{
    return BpfInstruction{static_cast<std::uint16_t>(kBpfJmp | operation | kBpfConstant),
                          static_cast<std::uint8_t>(if_true - at - 1), static_cast<std::uint8_t>(if_false - at - 1), k};
}
