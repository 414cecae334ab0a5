// libFuzzer target: the frames the window program and its helper exchange. A frame that decodes is in its one
// written form: encoding what was read gives back exactly the bytes, so no two inputs mean the same frame and
// nothing in a frame goes unread.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "protocol/helper_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > kMaxHelperFrameSize + 16) return -1;
    const std::vector<std::uint8_t> bytes(data, data + size);
    const HelperFrameDecoding decoding = decode_helper_frame(bytes.data(), bytes.size());
    if (decoding.error != HelperFrameError::none) return 0;
    std::array<std::uint8_t, kMaxHelperFrameSize> again{};
    const std::size_t length = encode_helper_frame(decoding.frame, again);
    if (length != size || std::memcmp(again.data(), bytes.data(), size) != 0) {
        std::fprintf(stderr, "helper_frames_fuzz: a decoded frame of %zu bytes encodes to %zu other bytes\n", size,
                     length);
        std::abort();
    }
    return 0;
}
