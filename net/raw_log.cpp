// The raw log of one run: a record left half stops it.
#include "net/raw_log.h"

#include <cstring>

LogOutcome log_datagram(RawLog& log, const std::uint8_t* bytes, std::size_t length)
{
    if (log.path == nullptr)
        log.last = LogOutcome{};
    else if (log.halted)
        log.last = LogOutcome{LogResult::halted, 0};
    else
        log.last = append_raw_log(log.path, bytes, length);
    if (log.last.result == LogResult::left_half) log.halted = true;
    return log.last;
}

const char* log_outcome_text(const LogOutcome& outcome)
{
    switch (outcome.result) {
        case LogResult::written: return "written";
        case LogResult::off: return "not logged";
        case LogResult::not_regular: return "not a regular file";
        case LogResult::halted: return "an earlier record could not be written whole nor removed";
        case LogResult::cannot_open:
        case LogResult::cut_back:
        case LogResult::left_half: break;
    }
    return std::strerror(outcome.error_code);
}
