// The frames between the Linux window program and its privileged helper, one frame per message of their
// socketpair: the helper's start-up outcome, "send the DISCOVER", a reply with its bytes and length, and
// "stopped". Pure encoder and decoder; each side trusts nothing the other sends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/dhcp_wire.h"
#include "common/ethernet.h"

enum class HelperFrameKind : std::uint8_t { started = 1, send_discovery = 2, reply = 3, stopped = 4 };

// The most a reply carries: what the window program's reply buffer holds.
inline constexpr std::size_t kHelperReplyCapacity = kDhcpMessageSize;
// Kind, result (4) and count (2) in front of the reply's bytes.
inline constexpr std::size_t kHelperReplyHeaderSize = 7;
inline constexpr std::size_t kMaxHelperFrameSize = kHelperReplyHeaderSize + kHelperReplyCapacity;

struct HelperFrame {
    HelperFrameKind kind = HelperFrameKind::stopped;
    // started: the failed start-up step (0 none) and its error number, then how the packet socket in place of a
    // held port 68 went (0 not tried or opened) and its error number. stopped: error_code alone.
    std::uint8_t failed_step = 0;
    std::uint32_t error_code = 0;
    std::uint8_t capture_step = 0;
    std::uint32_t capture_error = 0;
    // send_discovery: the address the helper writes into the request it builds itself.
    HardwareAddress hardware_address{};
    // reply: what a receive returned (the datagram's length, or -1) and the bytes it put into the buffer: all of
    // them when it returned a length, the first ones of a datagram longer than the buffer, or none.
    std::int32_t result = -1;
    std::uint16_t count = 0;
    std::array<std::uint8_t, kHelperReplyCapacity> bytes{};
};

enum class HelperFrameError { none, empty, unknown_kind, wrong_length, bad_reply };

struct HelperFrameDecoding {
    HelperFrameError error = HelperFrameError::none;
    HelperFrame frame;
};

// Writes frame into out; returns its length (at most kMaxHelperFrameSize), or 0 for a reply whose count and
// result disagree or whose count exceeds the capacity.
std::size_t encode_helper_frame(const HelperFrame& frame, std::array<std::uint8_t, kMaxHelperFrameSize>& out);

// Reads one frame of length bytes. A frame is exactly as long as its kind says; a reply's result is -1 or its
// count, never more than the capacity. Anything else is an error and leaves frame as it was.
HelperFrameDecoding decode_helper_frame(const std::uint8_t* bytes, std::size_t length);

// The error in a few words, for the line that ends a run.
const char* helper_frame_error_text(HelperFrameError error);

// The descriptor on which the helper finds its end of the socketpair.
inline constexpr int kHelperChannelDescriptor = 3;
