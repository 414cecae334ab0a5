// Windows implementation of the raw log: the C runtime's text stream does the translation.
#include "net/raw_log.h"

#include <cstdio>

bool append_raw_log(const char* path, const std::uint8_t* bytes, std::size_t length)
{
    if (path == nullptr) return false;
    // "at": append in text mode, so each 0x0A is stored as 0x0D 0x0A. The runtime opens the
    // file shared for reading and writing, so other programs may read it at any time.
    std::FILE* stream = std::fopen(path, "at");
    if (stream == nullptr) return false;  // skipped for this datagram; decoding goes on
    const bool whole = length == 0 || std::fwrite(bytes, 1, length, stream) == length;
    return std::fclose(stream) == 0 && whole;
}
