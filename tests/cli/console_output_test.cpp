// The console's report: line ends, and which stream gets what.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "cli/console_output.h"

namespace {

struct LineCase {
    const char* name;
    const char* text;
    const char* shown;
};

void PrintTo(const LineCase& c, std::ostream* out)
{
    *out << c.name;
}

const LineCase kLineCases[] = {
    {"report_line", "Packet from 192.168.1.1 \r\n", "Packet from 192.168.1.1 \n"},
    {"separator", "-------------------------\r\n", "-------------------------\n"},
    {"indented_line", " Offered IP 10.0.0.5 \r\n", " Offered IP 10.0.0.5 \n"},
    {"no_line_end", "abc", "abc"},
    {"lone_carriage_return_kept", "a\rb\r\n", "a\rb\n"},
    {"lone_line_feed_kept", "a\nb", "a\nb"},
    {"empty", "", ""},
};

class ConsoleLine : public testing::TestWithParam<LineCase> {};

TEST_P(ConsoleLine, TakesTheConsolesLineEnd)
{
    char out[100];
    console_line_text(GetParam().text, out, sizeof out);
    EXPECT_STREQ(out, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleLine, testing::ValuesIn(kLineCases),
                         [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

TEST(ConsoleLine, IsCutToTheCapacity)
{
    char out[6];
    console_line_text("Packet from 1.2.3.4 \r\n", out, sizeof out);
    EXPECT_STREQ(out, "Packe");
}

TEST(ConsoleOutput, ReportLinesGoToStdoutAndCountsToStderr)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    print_received_count(1);
    print_report_line("Packet from 10.0.0.1 \r\n");
    print_report_line("-------------------------\r\n");
    print_received_count(-1);  // shown unsigned, as the window's field does
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Packet from 10.0.0.1 \n-------------------------\n");
    EXPECT_EQ(err, "Packets Recieved: 1\nPackets Recieved: 4294967295\n");
}

// Whatever is echoed to the terminal: names and values typed or planted by someone else.
struct TerminalCase {
    const char* name;
    std::string text;
    std::string shown;
};

void PrintTo(const TerminalCase& c, std::ostream* out)
{
    *out << c.name;
}

const TerminalCase kTerminalCases[] = {
    {"plain_ascii_as_it_is", "eth0 ~!@#", "eth0 ~!@#"},
    {"escape_sequence", "\x1b[31mred", "\\x1b[31mred"},
    {"line_end_and_tab", "a\r\n\tb", "a\\x0d\\x0a\\x09b"},
    {"nul_inside", std::string("a\0b", 3), "a\\x00b"},
    {"delete", "\x7f", "\\x7f"},
    {"utf8_letters_kept", "caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},
    {"c1_control_in_utf8",
     "\xc2\x9b"
     "31m",
     "\\xc2\\x9b"
     "31m"},
    {"eight_bit_csi_alone",
     "\x9b"
     "31m",
     "\\x9b"
     "31m"},
    {"overlong_slash", "\xc0\xaf", "\\xc0\\xaf"},
    {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
    {"cut_short_sequence", "\xe2\x82", "\\xe2\\x82"},
    {"right_to_left_override", "ok\xe2\x80\xaezyx", "ok\\u{202e}zyx"},
    {"zero_width_space_and_bom", "a\xe2\x80\x8bz\xef\xbb\xbf", "a\\u{200b}z\\u{feff}"},
    {"soft_hyphen_and_language_tag", "\xc2\xad\xf3\xa0\x80\x81", "\\u{ad}\\u{e0001}"},
    {"letters_beside_the_ranges_kept", "\xe2\x80\xaf\xe2\x80\x90", "\xe2\x80\xaf\xe2\x80\x90"},
    {"beyond_unicode", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
    {"empty", "", ""},
};

class TerminalText : public testing::TestWithParam<TerminalCase> {};

TEST_P(TerminalText, ShowsControlCharactersEscaped)
{
    EXPECT_EQ(terminal_text(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, TerminalText, testing::ValuesIn(kTerminalCases),
                         [](const testing::TestParamInfo<TerminalCase>& info) { return info.param.name; });

#ifndef _WIN32
// A write error is reported, not swallowed: a full disk and a pipe nobody reads any more.
TEST(ConsoleOutput, WriteErrorsAreReported)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_FALSE(print_line(full, "a line"));
    std::fclose(full);

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    std::FILE* closed_pipe = fdopen(ends[1], "w");
    ASSERT_NE(closed_pipe, nullptr);
    EXPECT_FALSE(print_line(closed_pipe, "a line"));
    EXPECT_FALSE(print_line(closed_pipe, "and the next one")) << "the failure stays";
    std::fclose(closed_pipe);
    std::signal(SIGPIPE, previous);

    std::FILE* null = std::fopen("/dev/null", "w");
    ASSERT_NE(null, nullptr);
    EXPECT_TRUE(print_line(null, "a line"));
    std::fclose(null);
}
#endif

}  // namespace
