// orvane-probe's command line: every option read into ProbeOptions, the combinations refused, and the
// addresses --mac makes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/probe_options.h"

namespace {

struct OptionsCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;  // -1: go on, 0: help shown, 1: refused
    std::function<bool(const ProbeOptions&)> holds;
};

void PrintTo(const OptionsCase& c, std::ostream* out)
{
    *out << c.name;
}

const Ipv4Address kServer{192, 168, 77, 1};
const Ipv4Address kUpstream{10, 77, 0, 2};

bool plain_defaults(const ProbeOptions& o)
{
    return o.wait_seconds == 5.0 && o.count == 1 && !o.monitor && o.interface.empty() && !o.all_interfaces &&
           !o.mac_given && o.expected.empty() && !o.quick && o.format == OutputFormat::text &&
           o.log_path == "LogFile" && !o.no_log && !o.extended_text && round_interval(o) == 5.0;
}

// clang-format off
const OptionsCase kOptionsCases[] = {
    {"defaults_are_the_window_programs_exchange", {}, -1, plain_defaults},
    {"wait_alone_keeps_the_plain_report", {"--wait", "12"}, -1,
     [](const ProbeOptions& o) { return o.wait_seconds == 12.0 && !o.extended_text; }},
    {"wait_with_equals_and_fraction", {"--wait=0.5"}, -1, [](const ProbeOptions& o) { return o.wait_seconds == 0.5; }},
    {"zero_wait", {"--wait", "0"}, -1, [](const ProbeOptions& o) { return o.wait_seconds == 0.0; }},
    {"count_and_interval", {"--count", "3", "--interval", "0.5"}, -1,
     [](const ProbeOptions& o) { return o.count == 3 && o.interval_given && round_interval(o) == 0.5 && o.extended_text; }},
    {"interval_defaults_to_the_wait", {"--count", "2", "--wait", "2"}, -1,
     [](const ProbeOptions& o) { return !o.interval_given && round_interval(o) == 2.0; }},
    {"monitor", {"--monitor", "--interval", "30"}, -1,
     [](const ProbeOptions& o) { return o.monitor && round_interval(o) == 30.0; }},
    {"interface", {"--interface", "eth1"}, -1, [](const ProbeOptions& o) { return o.interface == "eth1" && o.extended_text; }},
    {"all_interfaces", {"--all-interfaces"}, -1, [](const ProbeOptions& o) { return o.all_interfaces; }},
    {"mac_with_colons", {"--mac", "02:4f:52:56:00:0A"}, -1,
     [](const ProbeOptions& o) { return o.mac_given && !o.mac_random && o.mac == HardwareAddress{2, 0x4f, 0x52, 0x56, 0, 0x0a}; }},
    {"mac_with_hyphens", {"--mac", "00-11-22-33-44-55"}, -1,
     [](const ProbeOptions& o) { return o.mac == HardwareAddress{0, 0x11, 0x22, 0x33, 0x44, 0x55}; }},
    {"mac_random", {"--mac", "random"}, -1,
     [](const ProbeOptions& o) { return o.mac_given && o.mac_random && (o.mac[0] & 3) == 2; }},
    {"expect_a_list", {"--expect", "192.168.77.1,10.77.0.2"}, -1,
     [](const ProbeOptions& o) { return o.expected == std::vector<Ipv4Address>{kServer, kUpstream}; }},
    {"expect_repeated", {"--expect", "192.168.77.1", "--expect", "10.77.0.2"}, -1,
     [](const ProbeOptions& o) { return o.expected == std::vector<Ipv4Address>{kServer, kUpstream}; }},
    {"quick_with_expect", {"--expect", "192.168.77.1", "--quick"}, -1, [](const ProbeOptions& o) { return o.quick; }},
    {"format_json", {"--format", "json"}, -1,
     [](const ProbeOptions& o) { return o.format == OutputFormat::json && !o.extended_text; }},
    {"format_text_asks_for_the_full_report", {"--format", "text"}, -1, [](const ProbeOptions& o) { return o.extended_text; }},
    {"log_elsewhere", {"--log", "/tmp/replies"}, -1, [](const ProbeOptions& o) { return o.log_path == "/tmp/replies"; }},
    {"no_log", {"--no-log"}, -1, [](const ProbeOptions& o) { return o.no_log; }},
    {"help_ends_with_zero", {"--help"}, 0, nullptr},
    {"negative_wait_refused", {"--wait", "-1"}, 1, nullptr},
    {"wait_not_a_number_refused", {"--wait", "soon"}, 1, nullptr},
    {"wait_without_value_refused", {"--wait"}, 1, nullptr},
    {"unknown_option_refused", {"--frobnicate"}, 1, nullptr},
    {"stray_argument_refused", {"eth0"}, 1, nullptr},
    {"count_zero_refused", {"--count", "0"}, 1, nullptr},
    {"count_fraction_refused", {"--count", "1.5"}, 1, nullptr},
    {"interval_without_count_refused", {"--interval", "1"}, 1, nullptr},
    {"monitor_with_count_refused", {"--monitor", "--count", "2"}, 1, nullptr},
    {"monitor_rounds_under_a_second_refused", {"--monitor", "--interval", "0.5"}, 1, nullptr},
    {"monitor_with_zero_wait_and_no_interval_refused", {"--monitor", "--wait", "0"}, 1, nullptr},
    {"interface_with_all_interfaces_refused", {"--interface", "eth0", "--all-interfaces"}, 1, nullptr},
    {"mac_too_short_refused", {"--mac", "02:4f:52:56:00"}, 1, nullptr},
    {"mac_mixed_separators_refused", {"--mac", "02:4f-52:56:00:0a"}, 1, nullptr},
    {"mac_not_hex_refused", {"--mac", "02:4f:52:56:00:0g"}, 1, nullptr},
    {"expect_not_an_address_refused", {"--expect", "192.168.77.1,server"}, 1, nullptr},
    {"expect_octet_too_big_refused", {"--expect", "192.168.77.256"}, 1, nullptr},
    {"quick_without_expect_refused", {"--quick"}, 1, nullptr},
    {"quick_with_monitor_refused", {"--monitor", "--expect", "10.77.0.2", "--quick"}, 1, nullptr},
    {"format_other_refused", {"--format", "xml"}, 1, nullptr},
    {"log_with_no_log_refused", {"--log", "x", "--no-log"}, 1, nullptr},
};
// clang-format on

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
    if (GetParam().status == 1) {
        EXPECT_FALSE(err.empty()) << "a refused command line says why";
    }
    if (GetParam().status == -1) {
        EXPECT_TRUE(GetParam().holds(options));
    }
    if (GetParam().status == 0) {
        for (const char* option : {"--wait", "--count", "--interval", "--monitor", "--interface", "--all-interfaces",
                                   "--mac", "--expect", "--quick", "--format", "--log", "--no-log", "Exit status"})
            EXPECT_NE(out.find(option), std::string::npos) << "the help names " << option;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProbeOptionsParse, testing::ValuesIn(kOptionsCases),
                         [](const testing::TestParamInfo<OptionsCase>& info) { return info.param.name; });

TEST(RandomMac, IsLocallyAdministeredAndUnicastWhateverTheDraw)
{
    const std::uint8_t firsts[] = {0x00, 0x01, 0x02, 0x03, 0xFC, 0xFD, 0xFE, 0xFF, 0x55, 0xAA};
    for (const std::uint8_t first : firsts) {
        const HardwareAddress address = locally_administered({first, 1, 2, 3, 4, 5});
        EXPECT_EQ(address[0] & 0x03, 0x02) << static_cast<int>(first);
        EXPECT_EQ(address[0] & 0xFC, first & 0xFC) << "the other bits stay random";
        EXPECT_EQ(address[5], 5);
    }
    // Two draws in a row differ (a fixed address would make every probe the same client).
    EXPECT_NE(random_hardware_address(), random_hardware_address());
}

}  // namespace
