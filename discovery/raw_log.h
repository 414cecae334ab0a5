// The raw log: every received datagram appended to one file with a text stream's newlines.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr const char* kDefaultLogFilePath = "LogFile";

// Chooses the file the raw log appends to; nullptr turns the log off. Set it before the
// receiver thread starts: the receiver reads it without a lock.
void set_log_file_path(const char* path);

// The file the raw log appends to, or nullptr while the log is off.
const char* log_file_path();

// Opens the log file for appending (creating it when missing), writes the bytes as one block
// with every 0x0A stored as 0x0D 0x0A, and closes it again, so that other programs can read
// it at any time. A file that cannot be opened is skipped for this datagram.
void append_raw_log(const std::uint8_t* bytes, std::size_t length);
