// Counters that wrap instead of overflowing: the window programs keep 32-bit signed counts, shown unsigned.
#pragma once

#include <cstdint>

// count + 1, wrapping from 2^31 - 1 to -2^31 through unsigned arithmetic rather than overflowing.
inline std::int32_t next_count(std::int32_t count)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(count) + 1u);
}
