// orvane-probe's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/probe.h"

namespace {

struct OptionsCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;  // -1: go on, 0: help shown, 2: refused
    double wait_seconds;
};

void PrintTo(const OptionsCase& c, std::ostream* out)
{
    *out << c.name;
}

const OptionsCase kOptionsCases[] = {
    {"default_wait_is_five_seconds", {}, -1, 5.0},
    {"wait_in_seconds", {"--wait", "12"}, -1, 12.0},
    {"wait_with_equals_and_fraction", {"--wait=0.5"}, -1, 0.5},
    {"zero_wait", {"--wait", "0"}, -1, 0.0},
    {"negative_wait_refused", {"--wait", "-1"}, 2, 5.0},
    {"wait_not_a_number_refused", {"--wait", "soon"}, 2, 5.0},
    {"wait_without_value_refused", {"--wait"}, 2, 5.0},
    {"unknown_option_refused", {"--frobnicate"}, 2, 5.0},
    {"stray_argument_refused", {"eth0"}, 2, 5.0},
    {"help_ends_with_zero", {"--help"}, 0, 5.0},
};

class ProbeOptionsParse : public testing::TestWithParam<OptionsCase> {};

TEST_P(ProbeOptionsParse, ReadsTheCommandLine)
{
    std::vector<std::string> words{"orvane-probe"};
    words.insert(words.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    ProbeOptions options;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = parse_probe_options(static_cast<int>(argv.size()), argv.data(), options);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, GetParam().status);
    if (GetParam().status == 2) {
        EXPECT_FALSE(err.empty()) << "a refused command line says why";
    }
    if (GetParam().status == -1) {
        EXPECT_DOUBLE_EQ(options.wait_seconds, GetParam().wait_seconds);
    }
    if (GetParam().status == 0) {
        EXPECT_NE(out.find("--wait"), std::string::npos) << "the help names the options";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProbeOptionsParse, testing::ValuesIn(kOptionsCases),
                         [](const testing::TestParamInfo<OptionsCase>& info) { return info.param.name; });

}  // namespace
