// The frames between the window program and its helper: each kind read back as written, and what a decoder must
// refuse, one row per case.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "protocol/helper_frames.h"

namespace {

// A frame of kind with its own fields set, the others left as a decoder leaves them.
HelperFrame frame_of(HelperFrameKind kind, std::int32_t result = -1, std::uint16_t count = 0)
{
    HelperFrame frame;
    frame.kind = kind;
    if (kind == HelperFrameKind::started) {
        frame.failed_step = 3;
        frame.capture_step = 2;
        frame.capture_error = 0x01020304;
    }
    if (kind == HelperFrameKind::started || kind == HelperFrameKind::stopped) frame.error_code = 98;
    if (kind == HelperFrameKind::send_discovery) frame.hardware_address = {0x52, 0x54, 0x00, 0x0a, 0xff, 0x01};
    frame.result = result;
    frame.count = count;
    for (std::size_t k = 0; k < count; ++k) frame.bytes[k] = static_cast<std::uint8_t>(k * 7 + 1);
    return frame;
}

TEST(HelperFrames, EveryKindReadsBackAsItWasWritten)
{
    const struct {
        const char* name;
        HelperFrame frame;
        std::size_t length;
    } rows[] = {
        {"started, port 68 held and the capture's filter refused", frame_of(HelperFrameKind::started), 11},
        {"send the DISCOVER", frame_of(HelperFrameKind::send_discovery), 7},
        {"a reply that fills the buffer", frame_of(HelperFrameKind::reply, 548, 548), 555},
        {"an empty datagram", frame_of(HelperFrameKind::reply, 0, 0), 7},
        {"a datagram longer than the buffer: its first 548 bytes", frame_of(HelperFrameKind::reply, -1, 548), 555},
        {"stopped", frame_of(HelperFrameKind::stopped), 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::array<std::uint8_t, kMaxHelperFrameSize> bytes{};
        ASSERT_EQ(encode_helper_frame(row.frame, bytes), row.length);
        const HelperFrameDecoding read = decode_helper_frame(bytes.data(), row.length);
        ASSERT_EQ(read.error, HelperFrameError::none);
        const HelperFrame& got = read.frame;
        const HelperFrame& sent = row.frame;
        EXPECT_EQ(got.kind, sent.kind);
        EXPECT_EQ(std::tie(got.failed_step, got.error_code, got.capture_step, got.capture_error, got.count),
                  std::tie(sent.failed_step, sent.error_code, sent.capture_step, sent.capture_error, sent.count));
        EXPECT_EQ(got.hardware_address, sent.hardware_address);
        EXPECT_EQ(read.frame.result, row.frame.result);
        EXPECT_EQ(read.frame.bytes, row.frame.bytes);
    }
}

TEST(HelperFrames, WhatNoPeerSendsIsRefused)
{
    std::vector<std::uint8_t> oversized(7 + 549, 0);  // 549 bytes claimed and carried: more than the buffer holds
    oversized[0] = 3;
    oversized[1] = oversized[2] = oversized[3] = oversized[4] = 0xff;
    oversized[5] = 549 >> 8;
    oversized[6] = 549 & 0xff;
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        HelperFrameError error;
    } rows[] = {
        {"nothing", {}, HelperFrameError::empty},
        {"kind 0", {0}, HelperFrameError::unknown_kind},
        {"kind 5", {5, 0, 0, 0, 0}, HelperFrameError::unknown_kind},
        {"started one byte short", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, HelperFrameError::wrong_length},
        {"send with a seventh address byte", {2, 1, 2, 3, 4, 5, 6, 7}, HelperFrameError::wrong_length},
        {"a reply header cut short", {3, 0, 0, 0}, HelperFrameError::wrong_length},
        {"a reply that counts more bytes than it has", {3, 0, 0, 0, 2, 0, 2, 9}, HelperFrameError::wrong_length},
        {"a reply with a byte beyond its count", {3, 0, 0, 0, 1, 0, 1, 9, 9}, HelperFrameError::wrong_length},
        {"a length that is not the count", {3, 0, 0, 0, 2, 0, 1, 9}, HelperFrameError::bad_reply},
        {"a result below -1", {3, 0xff, 0xff, 0xff, 0xfe, 0, 0}, HelperFrameError::bad_reply},
        {"more bytes than the window program's buffer", oversized, HelperFrameError::bad_reply},
        {"stopped with a byte more", {4, 0, 0, 0, 0, 0}, HelperFrameError::wrong_length},
    };
    for (const auto& row : rows)
        EXPECT_EQ(decode_helper_frame(row.bytes.data(), row.bytes.size()).error, row.error) << row.name;
    std::array<std::uint8_t, kMaxHelperFrameSize> bytes{};
    EXPECT_EQ(encode_helper_frame(frame_of(HelperFrameKind::reply, 10, 9), bytes), 0u) << "count and result disagree";
}

}  // namespace
