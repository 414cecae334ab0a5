// A small classic BPF interpreter for the instructions the capture filter uses, to run it off the kernel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/bpf_program.h"

// Runs program over a frame as the kernel's filter sees it; returns the accepted length, 0 to refuse.
// A load outside the frame refuses, as in the kernel; packet_type answers the packet-type load (and the others
// answer as for an untagged frame on Ethernet).
// An instruction outside the set implemented here, or a jump out of the program, also refuses, with
// *understood (when given) set false.
std::uint32_t run_classic_bpf(std::span<const BpfInstruction> program, const std::uint8_t* frame, std::size_t length,
                              std::uint32_t packet_type, bool* understood = nullptr);

// What the kernel knows of a frame beyond its bytes, for the metadata loads.
struct FrameMetadata {
    std::uint32_t packet_type = 0;
    std::uint32_t link_type = kLinkTypeEthernet;
    bool vlan_present = false;  // a tag was taken off, into vlan_tci
    std::uint32_t vlan_tci = 0;
};

// The same with every metadata load answered from metadata.
std::uint32_t run_classic_bpf(std::span<const BpfInstruction> program, const std::uint8_t* frame, std::size_t length,
                              const FrameMetadata& metadata, bool* understood = nullptr);
