// The frames between the Linux window program and its privileged helper.
#include "protocol/helper_frames.h"

#include <algorithm>

namespace {

constexpr std::size_t kStartedSize = 11;
constexpr std::size_t kSendSize = 7;
constexpr std::size_t kStoppedSize = 5;

void put_u32(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t get_u32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

bool reply_fits(std::int32_t result, std::size_t count)
{
    if (count > kHelperReplyCapacity) return false;
    return result == -1 || (result >= 0 && static_cast<std::size_t>(result) == count);
}

}  // namespace

std::size_t encode_helper_frame(const HelperFrame& frame, std::array<std::uint8_t, kMaxHelperFrameSize>& out)
{
    out[0] = static_cast<std::uint8_t>(frame.kind);
    switch (frame.kind) {
        case HelperFrameKind::started:
            out[1] = frame.failed_step;
            put_u32(&out[2], frame.error_code);
            out[6] = frame.capture_step;
            put_u32(&out[7], frame.capture_error);
            return kStartedSize;
        case HelperFrameKind::send_discovery:
            std::copy(frame.hardware_address.begin(), frame.hardware_address.end(), &out[1]);
            return kSendSize;
        case HelperFrameKind::reply:
            if (!reply_fits(frame.result, frame.count)) return 0;
            put_u32(&out[1], static_cast<std::uint32_t>(frame.result));
            out[5] = static_cast<std::uint8_t>(frame.count >> 8);
            out[6] = static_cast<std::uint8_t>(frame.count);
            std::copy_n(frame.bytes.begin(), frame.count, &out[kHelperReplyHeaderSize]);
            return kHelperReplyHeaderSize + frame.count;
        case HelperFrameKind::stopped: put_u32(&out[1], frame.error_code); return kStoppedSize;
    }
    return 0;
}

HelperFrameDecoding decode_helper_frame(const std::uint8_t* bytes, std::size_t length)
{
    HelperFrameDecoding decoding;
    if (length == 0) return {HelperFrameError::empty, {}};
    HelperFrame& frame = decoding.frame;
    switch (bytes[0]) {
        case static_cast<std::uint8_t>(HelperFrameKind::started):
            if (length != kStartedSize) return {HelperFrameError::wrong_length, {}};
            frame.kind = HelperFrameKind::started;
            frame.failed_step = bytes[1];
            frame.error_code = get_u32(&bytes[2]);
            frame.capture_step = bytes[6];
            frame.capture_error = get_u32(&bytes[7]);
            return decoding;
        case static_cast<std::uint8_t>(HelperFrameKind::send_discovery):
            if (length != kSendSize) return {HelperFrameError::wrong_length, {}};
            frame.kind = HelperFrameKind::send_discovery;
            std::copy_n(&bytes[1], frame.hardware_address.size(), frame.hardware_address.begin());
            return decoding;
        case static_cast<std::uint8_t>(HelperFrameKind::reply): {
            if (length < kHelperReplyHeaderSize) return {HelperFrameError::wrong_length, {}};
            const auto result = static_cast<std::int32_t>(get_u32(&bytes[1]));
            const std::size_t count = static_cast<std::size_t>(bytes[5]) << 8 | bytes[6];
            if (length != kHelperReplyHeaderSize + count) return {HelperFrameError::wrong_length, {}};
            if (!reply_fits(result, count)) return {HelperFrameError::bad_reply, {}};
            frame.kind = HelperFrameKind::reply;
            frame.result = result;
            frame.count = static_cast<std::uint16_t>(count);
            std::copy_n(&bytes[kHelperReplyHeaderSize], count, frame.bytes.begin());
            return decoding;
        }
        case static_cast<std::uint8_t>(HelperFrameKind::stopped):
            if (length != kStoppedSize) return {HelperFrameError::wrong_length, {}};
            frame.kind = HelperFrameKind::stopped;
            frame.error_code = get_u32(&bytes[1]);
            return decoding;
        default: return {HelperFrameError::unknown_kind, {}};
    }
}

const char* helper_frame_error_text(HelperFrameError error)
{
    switch (error) {
        case HelperFrameError::none: return "no error";
        case HelperFrameError::empty: return "an empty frame";
        case HelperFrameError::unknown_kind: return "a frame of an unknown kind";
        case HelperFrameError::wrong_length: return "a frame of the wrong length";
        case HelperFrameError::bad_reply: return "a reply whose length and bytes disagree";
    }
    return "a bad frame";
}
