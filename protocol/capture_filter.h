// The kernel socket filter of capture mode, as a classic BPF program: IPv4 UDP to port 68 or 67 only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/bpf_program.h"

inline constexpr std::size_t kCaptureFilterSize = 26;

// Accepts IPv4 UDP to port 68 (replies) or 67 (relayed traffic on the link), with or without IP
// options, and every non-first UDP fragment, which carries no ports but must still be counted. The
// frame may carry one tag besides the one the kernel strips before filtering, so stacked tags reach
// the decoder and are counted there. Frames this host sends are refused: the socket sees them too.
extern const std::array<BpfInstruction, kCaptureFilterSize> kCaptureFilter;
