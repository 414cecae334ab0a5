// orvane-probe's command line: every option read into ProbeOptions, the combinations refused, and the
// addresses --mac makes.
#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <string>
#include <vector>

#include "cli/event_command.h"
#include "cli/help_text.h"
#include "cli/metrics.h"
#include "cli/probe_options.h"
#include "cli/send_pacer.h"
#include "cli/terminal.h"
#include "cli/verdict.h"
#include "net/ipv6_endpoints.h"
#include "net/packet_capture.h"

namespace {

constexpr int kRefused = kExitRefusedCommandLine;

struct OptionsCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;  // -1: go on, 0: help shown, kRefused: refused
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
    {"count_and_interval", {"--count", "3", "--interval", "1.5"}, -1,
     [](const ProbeOptions& o) { return o.count == 3 && o.interval_given && round_interval(o) == 1.5 && o.extended_text; }},
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
     [](const ProbeOptions& o) { return o.expected == std::vector<ExpectedServer>{expected_address(kServer), expected_address(kUpstream)}; }},
    {"expect_repeated", {"--expect", "192.168.77.1", "--expect", "10.77.0.2"}, -1,
     [](const ProbeOptions& o) { return o.expected == std::vector<ExpectedServer>{expected_address(kServer), expected_address(kUpstream)}; }},
    {"quick_with_expect", {"--expect", "192.168.77.1", "--quick"}, -1, [](const ProbeOptions& o) { return o.quick; }},
    {"t_is_the_wait", {"-t", "7"}, -1, [](const ProbeOptions& o) { return o.wait_seconds == 7.0 && !o.extended_text; }},
    {"monitor_keeps_no_log_and_is_quiet_off_a_terminal", {"--monitor"}, -1,
     [](const ProbeOptions& o) { return o.no_log && (o.output == OutputDetail::events) == !output_is_terminal(); }},
    {"monitor_logs_when_asked", {"--monitor", "--log", "x.log"}, -1,
     [](const ProbeOptions& o) { return !o.no_log && o.log_path == "x.log"; }},
    {"monitor_output_full", {"--monitor", "--output", "full"}, -1,
     [](const ProbeOptions& o) { return o.output == OutputDetail::full; }},
    {"monitor_json_stays_full", {"--monitor", "--format", "json"}, -1,
     [](const ProbeOptions& o) { return o.output == OutputDetail::full; }},
    {"empty_values_are_off", {"--monitor", "--expect", "", "--metrics-listen", ""}, -1,
     [](const ProbeOptions& o) { return o.expected.empty() && o.metrics_listen.empty(); }},
    {"format_json", {"--format", "json"}, -1,
     [](const ProbeOptions& o) { return o.format == OutputFormat::json && !o.extended_text; }},
    {"format_text_asks_for_the_full_report", {"--format", "text"}, -1, [](const ProbeOptions& o) { return o.extended_text; }},
    {"log_elsewhere", {"--log", "/tmp/replies"}, -1, [](const ProbeOptions& o) { return o.log_path == "/tmp/replies"; }},
    {"no_log", {"--no-log"}, -1, [](const ProbeOptions& o) { return o.no_log; }},
    {"help_ends_with_zero", {"--help"}, 0, nullptr},
    {"negative_wait_refused", {"--wait", "-1"}, kRefused, nullptr},
    {"wait_not_a_number_refused", {"--wait", "soon"}, kRefused, nullptr},
    {"wait_without_value_refused", {"--wait"}, kRefused, nullptr},
    {"unknown_option_refused", {"--frobnicate"}, kRefused, nullptr},
    {"stray_argument_refused", {"eth0"}, kRefused, nullptr},
    {"count_zero_refused", {"--count", "0"}, kRefused, nullptr},
    {"count_fraction_refused", {"--count", "1.5"}, kRefused, nullptr},
    {"interval_without_count_refused", {"--interval", "1"}, kRefused, nullptr},
    {"monitor_with_count_refused", {"--monitor", "--count", "2"}, kRefused, nullptr},
    {"monitor_rounds_under_a_second_refused", {"--monitor", "--interval", "0.5"}, kRefused, nullptr},
    {"monitor_with_zero_wait_and_no_interval_refused", {"--monitor", "--wait", "0"}, kRefused, nullptr},
    {"interface_with_all_interfaces_refused", {"--interface", "eth0", "--all-interfaces"}, kRefused, nullptr},
    {"mac_too_short_refused", {"--mac", "02:4f:52:56:00"}, kRefused, nullptr},
    {"mac_mixed_separators_refused", {"--mac", "02:4f-52:56:00:0a"}, kRefused, nullptr},
    {"mac_not_hex_refused", {"--mac", "02:4f:52:56:00:0g"}, kRefused, nullptr},
    {"expect_not_an_address_refused", {"--expect", "192.168.77.1,server"}, kRefused, nullptr},
    {"expect_octet_too_big_refused", {"--expect", "192.168.77.256"}, kRefused, nullptr},
    {"quick_without_expect_refused", {"--quick"}, kRefused, nullptr},
    {"quick_with_monitor_refused", {"--monitor", "--expect", "10.77.0.2", "--quick"}, kRefused, nullptr},
    {"format_other_refused", {"--format", "xml"}, kRefused, nullptr},
    {"log_with_no_log_refused", {"--log", "x", "--no-log"}, kRefused, nullptr},
    // Numbers: finite, in their documented range, before any use.
    {"wait_at_its_ceiling", {"--wait", "3600"}, -1, [](const ProbeOptions& o) { return o.wait_seconds == 3600.0; }},
    {"wait_nan_refused", {"--wait", "nan"}, kRefused, nullptr},
    {"wait_infinity_refused", {"--wait", "inf"}, kRefused, nullptr},
    {"wait_beyond_double_refused", {"--wait", "1e999"}, kRefused, nullptr},
    {"wait_1e10_refused", {"--wait", "1e10"}, kRefused, nullptr},
    {"wait_over_an_hour_refused", {"--wait", "3600.5"}, kRefused, nullptr},
    {"wait_hexadecimal_refused", {"--wait", "0x10"}, kRefused, nullptr},
    {"wait_with_space_refused", {"--wait", " 5"}, kRefused, nullptr},
    {"interval_at_its_ceiling", {"--count", "2", "--interval", "86400"}, -1,
     [](const ProbeOptions& o) { return round_interval(o) == 86400.0; }},
    {"interval_nan_refused", {"--monitor", "--interval", "nan"}, kRefused, nullptr},
    // Monitoring: the plugin's format, the metrics outlets and the command on change.
    {"format_nagios", {"--format", "nagios", "--expect", "192.168.77.1"}, -1,
     [](const ProbeOptions& o) { return o.format == OutputFormat::nagios && !o.extended_text; }},
    {"format_nagios_with_monitor_refused", {"--format", "nagios", "--monitor"}, kRefused, nullptr},
    {"metrics_listen_ipv4", {"--monitor", "--metrics-listen", "127.0.0.1:9464"}, -1,
     [](const ProbeOptions& o) { return o.metrics_listen == "127.0.0.1:9464"; }},
    {"metrics_listen_ipv6", {"--monitor", "--metrics-listen", "[::1]:9464"}, -1,
     [](const ProbeOptions& o) { return o.metrics_listen == "[::1]:9464"; }},
    {"metrics_listen_needs_monitor", {"--metrics-listen", "127.0.0.1:9464"}, kRefused, nullptr},
    {"metrics_listen_name_refused", {"--monitor", "--metrics-listen", "localhost:9464"}, kRefused, nullptr},
    {"metrics_listen_port_alone_refused", {"--monitor", "--metrics-listen", ":9464"}, kRefused, nullptr},
    {"metrics_listen_no_port_refused", {"--monitor", "--metrics-listen", "127.0.0.1"}, kRefused, nullptr},
    {"metrics_listen_port_zero_refused", {"--monitor", "--metrics-listen", "127.0.0.1:0"}, kRefused, nullptr},
    {"metrics_listen_port_too_big_refused", {"--monitor", "--metrics-listen", "127.0.0.1:65536"}, kRefused, nullptr},
    {"metrics_listen_bare_ipv6_refused", {"--monitor", "--metrics-listen", "::1:9464"}, kRefused, nullptr},
    {"metrics_listen_unclosed_bracket_refused", {"--monitor", "--metrics-listen", "[::1:9464"}, kRefused, nullptr},
    {"metrics_file_in_any_mode", {"--metrics-file", "/var/lib/node/orvane.prom"}, -1,
     [](const ProbeOptions& o) { return o.metrics_file == "/var/lib/node/orvane.prom"; }},
    {"metrics_file_empty_refused", {"--metrics-file", ""}, kRefused, nullptr},
    {"metrics_file_folder_refused", {"--metrics-file", "/var/lib/node/"}, kRefused, nullptr},
    {"metrics_file_not_prom_refused", {"--metrics-file", "/var/lib/node/orvane.txt"}, kRefused, nullptr},
    {"metrics_file_only_suffix_refused", {"--metrics-file", "/tmp/.prom"}, kRefused, nullptr},
    {"on_change", {"--monitor", "--on-change", "logger dhcp"}, -1,
     [](const ProbeOptions& o) { return o.on_change == "logger dhcp"; }},
    {"on_change_needs_monitor", {"--on-change", "logger dhcp"}, kRefused, nullptr},
    {"on_change_empty_refused", {"--monitor", "--on-change", ""}, kRefused, nullptr},
    {"interval_1e10_refused", {"--monitor", "--interval", "1e10"}, kRefused, nullptr},
    {"interval_over_a_day_refused", {"--count", "2", "--interval", "86401"}, kRefused, nullptr},
    {"interval_under_a_second_refused_for_count_too", {"--count", "3", "--interval", "0.5"}, kRefused, nullptr},
    {"interval_zero_refused", {"--count", "20000", "--interval", "0", "--wait", "0"}, kRefused, nullptr},
    {"short_wait_still_makes_rounds_of_a_second", {"--count", "5", "--wait", "0"}, -1,
     [](const ProbeOptions& o) { return o.wait_seconds == 0.0 && round_interval(o) == 1.0; }},
    {"count_at_its_ceiling", {"--count", "100000"}, -1, [](const ProbeOptions& o) { return o.count == 100000; }},
    {"count_over_its_ceiling_refused", {"--count", "100001"}, kRefused, nullptr},
    {"count_of_a_million_refused", {"--count", "1000000"}, kRefused, nullptr},
    {"count_beyond_int_refused", {"--count", "99999999999999999999"}, kRefused, nullptr},
    {"count_in_exponent_form_refused", {"--count", "1e3"}, kRefused, nullptr},
    {"count_negative_refused", {"--count", "-3"}, kRefused, nullptr},
    // Input that means nothing.
    {"interface_empty_refused", {"--interface", ""}, kRefused, nullptr},
    {"mac_broadcast_refused", {"--mac", "ff:ff:ff:ff:ff:ff"}, kRefused, nullptr},
    {"mac_multicast_refused", {"--mac", "01:00:5e:00:00:01"}, kRefused, nullptr},
    {"mac_group_bit_alone_refused", {"--mac", "03:00:00:00:00:01"}, kRefused, nullptr},
    {"mac_all_zero_refused", {"--mac", "00:00:00:00:00:00"}, kRefused, nullptr},
    {"mac_locally_administered_unicast", {"--mac", "fe:00:00:00:00:01"}, -1,
     [](const ProbeOptions& o) { return o.mac == HardwareAddress{0xfe, 0, 0, 0, 0, 1}; }},
    // Capture mode, VLANs and the servers expected on each.
    {"capture_alone_probes_the_untagged_link", {"--capture"}, -1,
     [](const ProbeOptions& o) { return o.capture && !o.vlans_given && o.lans == std::vector<std::uint16_t>{0}; }},
    {"vlan_list_sorted_and_merged", {"--capture", "--vlan", "20,10-12,11,untagged"}, -1,
     [](const ProbeOptions& o) { return o.vlans_given && o.lans == std::vector<std::uint16_t>{0, 10, 11, 12, 20}; }},
    {"vlan_needs_capture_refused", {"--vlan", "10"}, kRefused, nullptr},
    {"expect_an_ethernet_address_with_capture", {"--capture", "--expect", "02:4f:52:56:00:01"}, -1,
     [](const ProbeOptions& o) {
         return o.expected == std::vector<ExpectedServer>{expected_ethernet({2, 0x4f, 0x52, 0x56, 0, 1})};
     }},
    {"expect_an_ethernet_address_without_capture_refused", {"--expect", "02:4f:52:56:00:01"}, kRefused, nullptr},
    {"expect_without_a_vlan_stands_for_every_vlan", {"--capture", "--vlan", "10,20", "--expect", "10.0.0.5"}, -1,
     [](const ProbeOptions& o) {
         return o.expected == std::vector<ExpectedServer>{expected_address({10, 0, 0, 5}, 10),
                                                          expected_address({10, 0, 0, 5}, 20)};
     }},
    {"expect_per_vlan", {"--capture", "--vlan", "10,20", "--expect", "10/10.0.10.1,20/02:4f:52:57:00:14"}, -1,
     [](const ProbeOptions& o) {
         return o.expected == std::vector<ExpectedServer>{expected_address({10, 0, 10, 1}, 10),
                                                          expected_ethernet({2, 0x4f, 0x52, 0x57, 0, 0x14}, 20)};
     }},
    {"expect_a_vlan_not_listed_refused", {"--capture", "--vlan", "10", "--expect", "10/10.0.10.1,40/10.0.40.1"}, kRefused, nullptr},
    {"expect_a_vlan_without_vlan_list_refused", {"--capture", "--expect", "10/10.0.10.1"}, kRefused, nullptr},
    {"expect_leaving_a_vlan_unjudged_refused", {"--capture", "--vlan", "10,20", "--expect", "10/10.0.10.1"}, kRefused, nullptr},
    {"vlan_out_of_range_refused", {"--capture", "--vlan", "4095"}, kRefused, nullptr},
    // The families, DHCPv6 servers and routers named, and what -6 refuses.
    {"ipv4_is_the_default", {}, -1, [](const ProbeOptions& o) { return o.ipv4 && !o.ipv6; }},
    {"ipv6_alone", {"-6"}, -1, [](const ProbeOptions& o) { return !o.ipv4 && o.ipv6 && o.extended_text; }},
    {"both_families", {"-4", "--ipv6"}, -1, [](const ProbeOptions& o) { return o.ipv4 && o.ipv6; }},
    {"ipv4_named", {"--ipv4"}, -1, [](const ProbeOptions& o) { return o.ipv4 && !o.ipv6; }},
    {"expect_a_duid_and_an_ipv6_address", {"-6", "--expect", "00:02:00:00:7e:d9:01,fe80::1"}, -1,
     [](const ProbeOptions& o) {
         return o.expected.empty() && o.expected6.server_duids == std::vector<std::vector<std::uint8_t>>{{0, 2, 0, 0, 0x7e, 0xd9, 1}} &&
                o.expected6.server_addresses.size() == 1;
     }},
    {"expect_both_families", {"-4", "-6", "--expect", "192.168.77.1,000200007ed901"}, -1,
     [](const ProbeOptions& o) { return o.expected.size() == 1 && o.expected6.server_duids.size() == 1; }},
    {"expect_router_by_both_addresses", {"-6", "--expect-router", "fe80::4f:52ff:fe56:1,02:4f:52:56:00:06", "--quick"}, -1,
     [](const ProbeOptions& o) {
         return o.quick && o.expected6.router_addresses.size() == 1 &&
                o.expected6.router_ethernets == std::vector<HardwareAddress>{{2, 0x4f, 0x52, 0x56, 0, 6}};
     }},
    {"prefix_delegation", {"-6", "--prefix-delegation"}, -1, [](const ProbeOptions& o) { return o.prefix_delegation; }},
    {"expect_router_without_ipv6_refused", {"--expect-router", "fe80::1"}, kRefused, nullptr},
    {"expect_a_duid_without_ipv6_refused", {"--expect", "000200007ed901"}, kRefused, nullptr},
    {"prefix_delegation_without_ipv6_refused", {"--prefix-delegation"}, kRefused, nullptr},
    {"ipv4_server_with_ipv6_alone_refused", {"-6", "--expect", "192.168.77.1"}, kRefused, nullptr},
    {"router_not_link_local_refused", {"-6", "--expect-router", "fd00:77::1"}, kRefused, nullptr},
    {"router_group_address_refused", {"-6", "--expect-router", "33:33:00:00:00:01"}, kRefused, nullptr},
    {"quick_with_nothing_named_refused", {"-6", "--quick"}, kRefused, nullptr},
    {"ipv6_capture", {"-6", "--capture"}, -1, [](const ProbeOptions& o) { return o.ipv6 && o.capture; }},
    {"ipv6_vlans_refused", {"-6", "--capture", "--vlan", "10"}, kRefused, nullptr},
    {"duid_of_two_bytes_refused", {"-6", "--expect", "0002"}, kRefused, nullptr},
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
    const auto& words_given = GetParam().arguments;
    const auto asks_for = [&](const char* option) {
        return std::find(words_given.begin(), words_given.end(), std::string(option)) != words_given.end();
    };
    // An empty value turns an output off, which every platform takes.
    const auto gives_value = [&](const char* option) {
        const auto at = std::find(words_given.begin(), words_given.end(), std::string(option));
        return at != words_given.end() && at + 1 != words_given.end() && !(at + 1)->empty();
    };
    // Under Winsock there is no packet socket, raw ICMPv6, metrics endpoint or event command: a command line asking
    // for one is refused, whatever else it says.
    if ((asks_for("--capture") && !packet_capture_supported()) ||
        (asks_for("--expect-router") && !router_socket_supported()) ||
        ((gives_value("--metrics-listen") || gives_value("--metrics-file")) && !metrics_supported()) ||
        (asks_for("--on-change") && !event_commands_supported())) {
        EXPECT_EQ(status, kRefused);
        EXPECT_FALSE(err.empty()) << "a refused command line says why";
        return;
    }
    EXPECT_EQ(status, GetParam().status);
    if (GetParam().status == kRefused) {
        EXPECT_FALSE(err.empty()) << "a refused command line says why";
    }
    if (GetParam().status == -1) {
        EXPECT_TRUE(GetParam().holds(options));
    }
    if (GetParam().status == 0) {
        for (const char* option : {"--wait", "--count", "--interval", "--monitor", "--interface", "--all-interfaces",
                                   "--mac", "--expect", "--quick", "--format", "--log", "--no-log", "--capture",
                                   "--vlan", "--ipv6", "--expect-router", "--prefix-delegation", "Exit status"})
            EXPECT_NE(out.find(option), std::string::npos) << "the help names " << option;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProbeOptionsParse, testing::ValuesIn(kOptionsCases),
                         [](const testing::TestParamInfo<OptionsCase>& info) { return info.param.name; });

// What a refusal shows: the reason, numbers short, and whatever was typed without its control characters.
struct RefusalCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* shown;  // a part of stderr
};

void PrintTo(const RefusalCase& c, std::ostream* out)
{
    *out << c.name;
}

const RefusalCase kRefusalCases[] = {
    {"largest_double_is_shown_short",
     {"--wait", "1.7976931348623157e308"},
     "1.79769e+308 is outside 0 to 3600 seconds"},
    {"nan_is_not_a_number_of_seconds", {"--wait", "nan"}, "not a number of seconds: nan"},
    {"interval_range", {"--monitor", "--interval", "0.25"}, "0.25 is outside 1 to 86400 seconds"},
    {"count_range", {"--count", "1e300"}, "not a whole number: 1e300"},
    {"huge_count_is_shown_short", {"--count", "123456789012345678901234567890"}, "1.23457e+29 is outside 1 to 100000"},
    {"escape_in_a_value", {"--wait", "\x1b[31m"}, "not a number of seconds: \\x1b[31m"},
    {"escape_in_an_unknown_option", {"--red\x1b[31m"}, "--red\\x1b[31m"},
    {"bell_and_delete_in_a_mac", {"--mac", "\a\x7f"}, "nor 'random': \\x07\\x7f"},
    {"empty_interface", {"--interface", ""}, "an interface name cannot be empty"},
    {"group_mac", {"--mac", "01:00:5e:00:00:01"}, "01:00:5e:00:00:01 is a group (multicast or broadcast) address"},
    {"zero_mac", {"--mac", "00-00-00-00-00-00"}, "00-00-00-00-00-00 is the all-zero address"},
    {"vlan_not_probed",
     {"--capture", "--vlan", "10", "--expect", "30/10.0.30.1"},
     "--expect 30/10.0.30.1 names VLAN 30, which --vlan does not list"},
    {"vlan_left_unjudged",
     {"--capture", "--vlan", "10,20", "--expect", "10/10.0.10.1"},
     "--expect names no server for VLAN 20"},
    {"ethernet_needs_capture", {"--expect", "02:4f:52:56:00:01"}, "an Ethernet address is seen only with --capture"},
    {"listen_on_a_name", {"--monitor", "--metrics-listen", "localhost:9464"}, "not an IPv4 address: localhost"},
    {"listen_without_brackets", {"--monitor", "--metrics-listen", "::1:9464"}, "an IPv6 address needs brackets"},
    {"listen_port", {"--monitor", "--metrics-listen", "[::1]:http"}, "not a port from 1 to 65535: http"},
    {"metrics_file_suffix", {"--metrics-file", "out.txt"}, "must end in .prom"},
    {"metrics_file_control", {"--metrics-file", "a\x1b.prom"}, "holds a control character"},
    {"nagios_monitor", {"--format", "nagios", "--monitor"}, "--format nagios is for single checks"},
    {"router_needs_ipv6", {"--expect-router", "fe80::1"}, "--expect-router needs -6"},
    {"duid_needs_ipv6", {"--expect", "000200007ed901"}, "names a DHCPv6 server (DUID or IPv6 address), which needs -6"},
    {"router_off_link", {"--expect-router", "fd00::1"}, "fd00::1 is not a link-local address"},
    {"neither_address_nor_duid", {"--expect", "fe80::zz"}, "nor VLAN/ADDRESS: fe80::zz"},
    {"output_needs_monitor", {"--output", "events"}, "--output is for --monitor"},
    {"output_choices", {"--monitor", "--output", "terse"}, "terse is not one of full, events"},
    {"mistyped_option", {"--intrface", "eth0"}, "--intrface; did you mean --interface?"},
};

class ProbeOptionsRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ProbeOptionsRefusal, SaysWhyReadably)
{
    std::vector<std::string> words{"orvane-probe"};
    words.insert(words.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    ProbeOptions options;
    testing::internal::CaptureStderr();
    const int status = parse_probe_options(static_cast<int>(argv.size()), argv.data(), options);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, kExitUnknown) << "a refused command line says nothing about the LAN";
    const auto& given = GetParam().arguments;
    const bool refused_for_capture =
        std::find(given.begin(), given.end(), std::string("--capture")) != given.end() && !packet_capture_supported();
    // Without a packet socket the capture is refused first, for that reason.
    EXPECT_NE(err.find(refused_for_capture ? "no packet socket" : GetParam().shown), std::string::npos) << err;
    EXPECT_LT(err.size(), 400u) << "no 310-digit numbers";
    for (const char c : err) EXPECT_FALSE((c >= 0 && c < 0x20 && c != '\n') || c == 0x7f) << "a raw control character";
}

INSTANTIATE_TEST_SUITE_P(Cases, ProbeOptionsRefusal, testing::ValuesIn(kRefusalCases),
                         [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

struct NearCase {
    const char* typed;
    const char* meant;  // "": none near enough, or two as near
};

TEST(HelpText, NearestOptionAndWrapping)
{
    const std::vector<std::string> names{"--interface", "--interval", "--quick",        "--wait",
                                         "-t",          "--expect",   "--expect-router"};
    const NearCase cases[] = {
        {"--intrface", "--interface"}, {"--quik", "--quick"},
        {"--wiat", "--wait"},          {"--expect-routr", "--expect-router"},
        {"--quick=1", "--quick"},      {"--inter", ""},
        {"--frobnicate", ""},          {"-x", ""},
        {"--interva", "--interval"},   {"--exp", ""},
    };
    for (const NearCase& c : cases) EXPECT_EQ(closest_option(c.typed, names), c.meant) << c.typed;
    EXPECT_EQ(wrap_words("aa bb cc dd", 5), (std::vector<std::string>{"aa bb", "cc dd"}));
    EXPECT_EQ(wrap_words("  a-very-long-word b ", 4), (std::vector<std::string>{"a-very-long-word", "b"}));
    EXPECT_EQ(help_width(0), 80u);
    EXPECT_EQ(help_width(40), 60u);
    EXPECT_EQ(help_width(250), kHelpMaxWidth);
}

struct NumberCase {
    const char* text;
    bool whole;
    bool taken;
    double value;
};

TEST(NumberReading, OnlyFinitePlainDecimalsInRange)
{
    // What the command-line rows above do not already show.
    const NumberCase cases[] = {
        {"2.5", false, true, 2.5}, {"1e2", false, true, 100.0},    {"+3", false, true, 3.0},
        {"NaN", false, false, 0},  {"", false, false, 0},          {"1.2.3", false, false, 0},
        {"5s", false, false, 0},   {"07", true, true, 7},          {"+2", true, false, 0},
        {"", true, false, 0},      {"4294967297", true, false, 0},
    };
    for (const NumberCase& c : cases) {
        std::string reason;
        double value = -1.0;
        if (c.whole) {
            int number = -1;
            reason = read_whole_number(c.text, 1, kMaxCount, number);
            value = number;
        } else {
            reason = read_seconds(c.text, 0.0, kMaxWaitSeconds, value);
        }
        EXPECT_EQ(reason.empty(), c.taken) << "'" << c.text << "': " << reason;
        if (c.taken) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

// The pacer: no interface gets two DISCOVERs less than a second apart, each interface on its own clock.
TEST(SendPacer, HoldsEachInterfaceToOneRequestASecond)
{
    SendPacer pacer;
    const PacerClock::time_point t0{std::chrono::seconds(100)};
    EXPECT_LE(next_send_allowed(pacer, "eth0"), t0) << "the first request goes at once";
    note_send(pacer, "eth0", t0);
    EXPECT_EQ(next_send_allowed(pacer, "eth0"), t0 + std::chrono::seconds(1));
    EXPECT_LE(next_send_allowed(pacer, "eth1"), t0) << "another interface keeps its own pace";
    note_send(pacer, "eth1", t0 + std::chrono::milliseconds(300));
    note_send(pacer, "", t0);
    EXPECT_EQ(next_send_allowed(pacer, ""), t0 + std::chrono::seconds(1));
    note_send(pacer, "eth0", t0 + std::chrono::milliseconds(1700));
    EXPECT_EQ(next_send_allowed(pacer, "eth0"), t0 + std::chrono::milliseconds(2700));
    EXPECT_EQ(next_send_allowed(pacer, "eth1"), t0 + std::chrono::milliseconds(1300));
    EXPECT_EQ(pacer.sends.size(), 3u) << "one record per interface, however many sends";
}

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
