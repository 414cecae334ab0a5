// The frames between the window program and its helper: each kind written and read back, and what a decoder
// must refuse, one row per case.
#include <gtest/gtest.h>

#include <vector>

#include "protocol/helper_frames.h"

namespace {

HelperFrame reply_of(std::int32_t result, std::uint16_t count)
{
    HelperFrame frame;
    frame.kind = HelperFrameKind::reply;
    frame.result = result;
    frame.count = count;
    for (std::size_t k = 0; k < count; ++k) frame.bytes[k] = static_cast<std::uint8_t>(k * 7 + 1);
    return frame;
}

struct RoundTrip {
    const char* name;
    HelperFrame frame;
    std::size_t length;
};

TEST(HelperFrames, EveryKindReadsBackAsItWasWritten)
{
    HelperFrame started;
    started.kind = HelperFrameKind::started;
    started.failed_step = 3;
    started.error_code = 98;
    started.capture_step = 2;
    started.capture_error = 0x01020304;
    HelperFrame send;
    send.kind = HelperFrameKind::send_discovery;
    send.hardware_address = {0x52, 0x54, 0x00, 0x0a, 0xff, 0x01};
    HelperFrame stopped;
    stopped.kind = HelperFrameKind::stopped;
    stopped.error_code = 71;
    const RoundTrip rows[] = {
        {"started, port 68 held and the capture's filter refused", started, 11},
        {"send the DISCOVER", send, 7},
        {"a reply of 300 bytes", reply_of(300, 300), 307},
        {"a reply that fills the buffer", reply_of(548, 548), 555},
        {"an empty datagram", reply_of(0, 0), 7},
        {"a datagram longer than the buffer: its first 548 bytes", reply_of(-1, 548), 555},
        {"a failed receive with no bytes", reply_of(-1, 0), 7},
        {"stopped", stopped, 5},
    };
    for (const RoundTrip& row : rows) {
        SCOPED_TRACE(row.name);
        std::array<std::uint8_t, kMaxHelperFrameSize> bytes{};
        ASSERT_EQ(encode_helper_frame(row.frame, bytes), row.length);
        const HelperFrameDecoding read = decode_helper_frame(bytes.data(), row.length);
        ASSERT_EQ(read.error, HelperFrameError::none);
        EXPECT_EQ(read.frame.kind, row.frame.kind);
        EXPECT_EQ(read.frame.failed_step, row.frame.failed_step);
        EXPECT_EQ(read.frame.error_code, row.frame.error_code);
        EXPECT_EQ(read.frame.capture_step, row.frame.capture_step);
        EXPECT_EQ(read.frame.capture_error, row.frame.capture_error);
        EXPECT_EQ(read.frame.hardware_address, row.frame.hardware_address);
        EXPECT_EQ(read.frame.result, row.frame.result);
        ASSERT_EQ(read.frame.count, row.frame.count);
        EXPECT_TRUE(
            std::equal(read.frame.bytes.begin(), read.frame.bytes.begin() + row.frame.count, row.frame.bytes.begin()));
    }
}

struct Refused {
    const char* name;
    std::vector<std::uint8_t> bytes;
    HelperFrameError error;
};

TEST(HelperFrames, WhatNoPeerSendsIsRefused)
{
    const Refused rows[] = {
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
        {"stopped with a byte more", {4, 0, 0, 0, 0, 0}, HelperFrameError::wrong_length},
    };
    for (const Refused& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(decode_helper_frame(row.bytes.data(), row.bytes.size()).error, row.error);
    }
    // 549 bytes claimed and carried: more than the window program's buffer holds.
    std::vector<std::uint8_t> oversized(7 + 549, 0);
    oversized[0] = 3;
    oversized[5] = 549 >> 8;
    oversized[6] = 549 & 0xff;
    oversized[4] = 0;
    oversized[1] = oversized[2] = oversized[3] = 0xff;
    oversized[4] = 0xff;
    EXPECT_EQ(decode_helper_frame(oversized.data(), oversized.size()).error, HelperFrameError::bad_reply);
    // The encoder writes no reply whose count and result disagree.
    std::array<std::uint8_t, kMaxHelperFrameSize> bytes{};
    EXPECT_EQ(encode_helper_frame(reply_of(10, 9), bytes), 0u);
}

}  // namespace
