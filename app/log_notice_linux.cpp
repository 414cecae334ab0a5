// Linux: the window program's word on LogFile, on stderr and, started from the desktop, as a notification.
#include "app/log_notice.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

LogNotice log_notice;

std::string log_notice_line(const LogOutcome& outcome, const std::string& folder, bool& failing)
{
    const std::string where = "LogFile in " + folder;
    switch (outcome.result) {
        case LogResult::written: {
            const bool was_failing = failing;
            failing = false;
            return was_failing ? "orvane: " + where + " is written again" : std::string();
        }
        case LogResult::off:
        case LogResult::halted: return {};
        case LogResult::left_half:
            failing = true;
            return "orvane: a reply could not be written whole to " + where + " (" + log_outcome_text(outcome) +
                   ") nor removed again; nothing more is appended to it in this run";
        case LogResult::cannot_open:
        case LogResult::not_regular:
        case LogResult::cut_back: break;
    }
    if (failing) return {};
    failing = true;
    return "orvane: cannot write " + where + " (" + log_outcome_text(outcome) +
           "); replies are still shown, not logged";
}

void tell_log_outcome(const LogOutcome& outcome)
{
    // Only a change is said, so the folder is looked up only then.
    if (outcome.result == LogResult::off || outcome.result == LogResult::halted) return;
    if (outcome.result == LogResult::written && !log_notice.failing) return;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    const std::string line = log_notice_line(outcome, error ? std::string(".") : folder.string(), log_notice.failing);
    if (line.empty()) return;
    std::fprintf(stderr, "%s\n", line.c_str());
    if (log_notice.notify_desktop != nullptr && !isatty(STDERR_FILENO)) log_notice.notify_desktop(line);
}
