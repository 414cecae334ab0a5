// What the Linux window program says about LogFile: the lines for runs of outcomes, then the receive path.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "app/exchange.h"
#include "app/log_notice.h"
#include "tests/fixtures/reply_fixtures.h"

namespace {

using Lines = std::vector<std::string>;

const LogOutcome kWritten{LogResult::written, 0};
const LogOutcome kOff{LogResult::off, 0};
const LogOutcome kDenied{LogResult::cannot_open, EACCES};
const LogOutcome kFolder{LogResult::not_regular, 0};
const LogOutcome kFull{LogResult::cut_back, ENOSPC};
const LogOutcome kHalf{LogResult::left_half, EIO};
const LogOutcome kHalted{LogResult::halted, 0};
const std::string kCannot =
    "orvane: cannot write LogFile in /home/ana (Permission denied); replies are still shown, "
    "not logged";
const std::string kFullLine =
    "orvane: cannot write LogFile in /home/ana (No space left on device); replies are "
    "still shown, not logged";
const std::string kAgain = "orvane: LogFile in /home/ana is written again";

struct NoticeCase {
    const char* name;
    std::vector<LogOutcome> outcomes;
    Lines said;
};

class LogNoticeTable : public testing::TestWithParam<NoticeCase> {};

TEST_P(LogNoticeTable, SaysEachChangeOnce)
{
    bool failing = false;
    Lines said;
    for (const LogOutcome& outcome : GetParam().outcomes) {
        const std::string line = log_notice_line(outcome, "/home/ana", failing);
        if (!line.empty()) said.push_back(line);
    }
    EXPECT_EQ(said, GetParam().said);
}

const NoticeCase kNoticeCases[] = {
    {"a_log_that_works_says_nothing", {kWritten, kWritten, kOff}, {}},
    {"a_failure_is_said_once_and_its_end_once", {kDenied, kDenied, kFolder, kWritten, kWritten}, {kCannot, kAgain}},
    {"failed_receives_between_failures_do_not_repeat_it", {kDenied, kOff, kDenied, kOff, kWritten}, {kCannot, kAgain}},
    {"a_second_failure_after_recovery_is_said_again", {kFull, kWritten, kFull, kFull}, {kFullLine, kAgain, kFullLine}},
    {"a_half_record_is_said_and_the_halt_is_silent",
     {kDenied, kHalf, kHalted, kHalted},
     {kCannot,
      "orvane: a reply could not be written whole to LogFile in /home/ana (Input/output error) nor removed again; "
      "nothing more is appended to it in this run"}},
};

INSTANTIATE_TEST_SUITE_P(Outcomes, LogNoticeTable, testing::ValuesIn(kNoticeCases),
                         [](const testing::TestParamInfo<NoticeCase>& info) { return info.param.name; });

Lines desktop_lines;

// A folder named LogFile refuses the replies; once it is gone they are written again. stderr and the
// desktop (stderr is a file here, as when the program was started from a menu) hear the same two lines.
TEST(LogNotice, TheReceivePathSaysTheLossAndTheRecovery)
{
    ScratchFolder scratch;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path);
    reset_app_state();
    log_notice = LogNotice{};
    log_notice.notify_desktop = [](const std::string& line) { desktop_lines.push_back(line); };
    ASSERT_EQ(start_network(app_state.socket_library_state), 0);
    std::uint16_t port = 0, sender_port = 0;
    const Endpoint receiver = open_free_endpoint(port);
    const Endpoint sender = open_free_endpoint(sender_port);
    const Bytes offer = make_reply({10, 0, 0, 5}, {0, 0, 0, 0}, {54, 4, 10, 0, 0, 1, 255});
    std::filesystem::create_directory(scratch.path / "LogFile");
    testing::internal::CaptureStderr();
    for (int k = 0; k < 3; ++k) {
        if (k == 2) std::filesystem::remove(scratch.path / "LogFile");
        ASSERT_EQ(send_datagram(sender, offer.data(), offer.size(), {127, 0, 0, 1}, port), 548);
        EXPECT_EQ(receive_reply(receiver), 548);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string folder = std::filesystem::current_path().string();
    const Lines expected{"orvane: cannot write LogFile in " + folder +
                             " (Is a directory); replies are still shown, "
                             "not logged",
                         "orvane: LogFile in " + folder + " is written again"};
    EXPECT_EQ(err, expected[0] + "\n" + expected[1] + "\n");
    EXPECT_EQ(desktop_lines, expected);
    EXPECT_EQ(read_file(scratch.path / "LogFile"), text_stream_bytes(offer));
    close_udp_endpoint(receiver);
    close_udp_endpoint(sender);
    stop_network();
    log_notice = LogNotice{};
    std::filesystem::current_path(previous);
}

}  // namespace
