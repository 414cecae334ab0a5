// A small classic BPF interpreter for the instructions the capture filter uses, to run it off the kernel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/bpf_program.h"

// Runs program over a frame as the kernel's filter sees it; returns the accepted length, 0 to refuse.
// A load outside the frame refuses, as in the kernel; packet_type answers the packet-type load.
// An instruction outside the set implemented here, or a jump out of the program, also refuses, with
// *understood (when given) set false.
std::uint32_t run_classic_bpf(std::span<const BpfInstruction> program, const std::uint8_t* frame, std::size_t length,
                              std::uint32_t packet_type, bool* understood = nullptr);
