// Which file the raw log appends to; the writing itself is per platform.
#include "discovery/raw_log.h"

#include <string>

namespace {

// Held as a copy so callers may pass a temporary; an empty string means the log is off.
std::string chosen_path = kDefaultLogFilePath;
bool log_enabled = true;

}  // namespace

void set_log_file_path(const char* path)
{
    log_enabled = path != nullptr;
    chosen_path = path != nullptr ? path : "";
}

const char* log_file_path()
{
    return log_enabled ? chosen_path.c_str() : nullptr;
}
