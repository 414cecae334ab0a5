// What the Linux window program says over runs of LogFile's outcomes; a failed receive (o) changes nothing.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "app/log_notice.h"

namespace {

const LogOutcome w{LogResult::written, 0}, o{LogResult::off, 0}, d{LogResult::cannot_open, EACCES},
    f{LogResult::cut_back, ENOSPC}, h{LogResult::left_half, EIO}, x{LogResult::halted, 0};
const std::string kIn = "LogFile in /home/ana", kShown = "; replies are still shown, not logged\n",
                  kDenied = "orvane: cannot write " + kIn + " (Permission denied)" + kShown,
                  kAgain = "orvane: " + kIn + " is written again\n",
                  kHalf = "orvane: a reply could not be written whole to " + kIn +
                          " (Input/output error) nor removed again; nothing more is appended to it in this run\n";

TEST(LogNotice, SaysEachChangeOnce)
{
    const std::pair<std::vector<LogOutcome>, std::string> cases[] = {
        {{w, w, o}, ""}, {{d, f, o, d, w, d, w}, kDenied + kAgain + kDenied + kAgain}, {{d, h, x, x}, kDenied + kHalf}};
    for (const auto& [outcomes, expected] : cases) {
        bool failing = false;
        std::string said;
        for (const LogOutcome& outcome : outcomes)
            if (const std::string line = log_notice_line(outcome, "/home/ana", failing); !line.empty())
                said += line + "\n";
        EXPECT_EQ(said, expected);
    }
}
}  // namespace
