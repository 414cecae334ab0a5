// Windows implementation of the raw log: the C runtime's text stream does the translation.
#include "discovery/raw_log.h"

#include <cstdio>

void append_raw_log(const std::uint8_t* bytes, std::size_t length)
{
    const char* path = log_file_path();
    if (path == nullptr) return;
    // "at": append in text mode, so each 0x0A is stored as 0x0D 0x0A. The runtime opens the
    // file shared for reading and writing, so other programs may read it at any time.
    std::FILE* stream = std::fopen(path, "at");
    if (stream == nullptr) return;  // skipped for this datagram; decoding goes on
    if (length > 0) std::fwrite(bytes, 1, length, stream);
    std::fclose(stream);
}
