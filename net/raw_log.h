// The raw log: every received datagram appended to one file with a text stream's newlines.
#pragma once

#include <cstddef>
#include <cstdint>

// The window programs' log: a file of this name in the current folder.
inline constexpr const char* kDefaultLogFilePath = "LogFile";

enum class LogResult {
    written,      // the whole record was appended
    off,          // no log, or no datagram to log (a failed receive, a datagram cut short)
    cannot_open,  // error_code says why
    not_regular,  // a FIFO, a device, a folder: left alone, never written or waited on
    cut_back,     // a write failed part-way; the file was cut back to where the record began
    left_half,    // a write failed part-way and the file could not be cut back: half a record stays
    halted,       // an earlier record was left half, so nothing more is appended
};

struct LogOutcome {
    LogResult result = LogResult::off;
    int error_code = 0;  // the platform's error number for cannot_open, cut_back and left_half
};

// Opens the log file at path for appending (creating it when missing) without blocking, uses it only
// when it is a regular file (a symbolic link to one is fine), writes the bytes as one record with every
// 0x0A stored as 0x0D 0x0A, and closes it again, so that other programs can read it at any time. A file
// that cannot be opened or is not a regular file is skipped for this datagram; a record that cannot be
// written whole is removed again. A null path means no log.
LogOutcome append_raw_log(const char* path, const std::uint8_t* bytes, std::size_t length);

// The raw log of one run: its path (null: none) and whether a half record has stopped it.
struct RawLog {
    const char* path = nullptr;
    bool halted = false;
    LogOutcome last;  // what became of the last datagram
};

// Appends one datagram to log unless it is off or halted, and notes the outcome in log.last. A record
// left half halts the log for the rest of the run, so that no record ever follows half a one.
LogOutcome log_datagram(RawLog& log, const std::uint8_t* bytes, std::size_t length);

// The outcome in a few words ("not a regular file", "No space left on device"), for messages.
const char* log_outcome_text(const LogOutcome& outcome);
