// The raw log: every received datagram appended to one file with a text stream's newlines.
#pragma once

#include <cstddef>
#include <cstdint>

// The window programs' log: a file of this name in the current folder.
inline constexpr const char* kDefaultLogFilePath = "LogFile";

// Opens the log file at path for appending (creating it when missing), writes the bytes as one
// block with every 0x0A stored as 0x0D 0x0A, and closes it again, so that other programs can read
// it at any time. A file that cannot be opened is skipped for this datagram; a null path means no
// log. True when the whole block was written.
bool append_raw_log(const char* path, const std::uint8_t* bytes, std::size_t length);
