// The console's report: line ends, and which stream gets what.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
