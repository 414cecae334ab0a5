// A small classic BPF interpreter for the instructions the capture filter uses, to run it off the kernel.
#include "support/classic_bpf.h"

namespace {

// Loads size bytes at offset, big-endian; false outside the frame.
bool load(const std::uint8_t* frame, std::size_t length, std::uint64_t offset, std::size_t size, std::uint32_t& value)
{
    if (offset + size > length) return false;
    value = 0;
    for (std::size_t i = 0; i < size; ++i) value = value << 8 | frame[offset + i];
    return true;
}

}  // namespace

std::uint32_t run_classic_bpf(std::span<const BpfInstruction> program, const std::uint8_t* frame, std::size_t length,
                              std::uint32_t packet_type, bool* understood)
{
    return run_classic_bpf(program, frame, length, FrameMetadata{.packet_type = packet_type}, understood);
}

std::uint32_t run_classic_bpf(std::span<const BpfInstruction> program, const std::uint8_t* frame, std::size_t length,
                              const FrameMetadata& metadata, bool* understood)
{
    if (understood) *understood = true;
    std::uint32_t a = 0, x = 0;
    for (std::size_t pc = 0; pc < program.size(); ++pc) {
        const BpfInstruction& in = program[pc];
        const std::uint16_t kind = in.code & 0x07, mode = in.code & 0xE0, size_bits = in.code & 0x18;
        const std::size_t size = size_bits == kBpfByte ? 1 : size_bits == kBpfHalf ? 2 : 4;
        bool known = true;
        if (kind == kBpfLd && mode == kBpfAbs && in.k == kBpfPacketTypeOffset && size == 4) {
            a = metadata.packet_type;
        } else if (kind == kBpfLd && mode == kBpfAbs && in.k == kBpfLinkTypeOffset && size == 4) {
            a = metadata.link_type;
        } else if (kind == kBpfLd && mode == kBpfAbs && in.k == kBpfVlanPresentOffset && size == 4) {
            a = metadata.vlan_present ? 1 : 0;
        } else if (kind == kBpfLd && mode == kBpfAbs && in.k == kBpfVlanTagOffset && size == 4) {
            a = metadata.vlan_tci;
        } else if (kind == kBpfLd && mode == kBpfAbs && size_bits != 0x18) {
            if (!load(frame, length, in.k, size, a)) return 0;
        } else if (kind == kBpfLd && mode == kBpfInd && size_bits != 0x18) {
            if (!load(frame, length, std::uint64_t{x} + in.k, size, a)) return 0;
        } else if (kind == kBpfLdx && mode == kBpfMsh && size == 1) {
            if (!load(frame, length, in.k, 1, x)) return 0;
            x = (x & 0x0F) * 4;
        } else if (kind == kBpfJmp && (in.code & 0x08) == kBpfConstant &&
                   ((in.code & 0xF0) == kBpfJeq || (in.code & 0xF0) == kBpfJset)) {
            const bool taken = (in.code & 0xF0) == kBpfJeq ? a == in.k : (a & in.k) != 0;
            pc += taken ? in.jt : in.jf;
        } else if (kind == kBpfRet && size_bits == kBpfConstant) {
            return in.k;
        } else {
            known = false;
        }
        if (!known) break;
    }
    // An unknown instruction, or a run off the end of the program.
    if (understood) *understood = false;
    return 0;
}
