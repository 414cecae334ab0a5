// The probe's metrics (Linux, through prometheus-cpp): counters and last-round values kept from round records,
// their families by Prometheus's conventions, whole rounds only for a scrape under way, the textfile replaced
// whole; and the --on-change command with the event in its environment.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/event_command.h"
#include "cli/metrics.h"
#include "cli/metrics_families.h"
#include "cli/metrics_state.h"
#include "tests/fixtures/reply_fixtures.h"

namespace {

ServerLabels labels_of(const std::string& server, const std::string& expected = "true", const std::string& relay = "")
{
    return ServerLabels{"ipv4", "eth0", "", server, relay, expected};
}

// A round in which each of servers answered replies times.
RoundRecord round_of(int round, const std::vector<std::string>& servers, int replies = 1)
{
    RoundRecord record;
    record.round = round;
    record.unix_ms = static_cast<std::int64_t>(round) * 1000;
    record.duration_seconds = 0.5;
    record.interval_seconds = 1.0;
    record.status = kExitOk;
    for (const std::string& server : servers)
        record.heard.push_back(ServerHeard{labels_of(server), replies, 0.002, {}});
    return record;
}

TEST(MetricsState, CountersAddUpAndTheLastRoundReplacesTheRest)
{
    MetricsState state;
    RoundRecord first = round_of(1, {"192.168.77.1", "10.77.0.2"}, 2);
    first.not_dhcp = 3;
    add_round(state, first);
    RoundRecord second = round_of(2, {"192.168.77.1"});
    second.status = kExitCritical;
    second.expected_missing = 1;
    second.over_limit = 5;
    second.expected.push_back(ExpectedHeard{labels_of("10.77.0.2"), false});
    add_round(state, second);

    EXPECT_EQ(state.rounds_total, 2.0);
    EXPECT_EQ(state.not_dhcp_total, 3.0);
    EXPECT_EQ(state.over_limit_total, 5.0);
    EXPECT_EQ(state.status, kExitCritical);
    EXPECT_EQ(state.servers, 1);
    EXPECT_EQ(state.expected_missing, 1);
    EXPECT_DOUBLE_EQ(state.timestamp_seconds, 2.0);
    const ServerSeries& kept = state.series.at(labels_of("192.168.77.1"));
    EXPECT_EQ(kept.replies_total, 3.0);
    EXPECT_TRUE(kept.answered);
    const ServerSeries& quiet = state.series.at(labels_of("10.77.0.2"));
    EXPECT_EQ(quiet.replies_total, 2.0) << "a counter keeps its count while its server is silent";
    EXPECT_FALSE(quiet.answered);
    EXPECT_LT(quiet.first_offer_seconds, 0.0) << "no first offer in a round it did not answer";
    EXPECT_TRUE(round_succeeded(kExitOk) && round_succeeded(kExitWarning));
    EXPECT_FALSE(round_succeeded(kExitCritical) || round_succeeded(kExitUnknown));
}

TEST(MetricsState, SeriesStayWithinTheLimitDroppingTheOldest)
{
    MetricsState state;
    add_round(state, round_of(1, {"192.168.77.1"}));
    for (int round = 2; round <= 4; ++round) {
        std::vector<std::string> forged;
        for (std::size_t n = 0; n < kMaxServerSeries / 2; ++n)
            forged.push_back("10." + std::to_string(round) + "." + std::to_string(n / 256) + "." +
                             std::to_string(n % 256));
        forged.push_back("192.168.77.2");
        add_round(state, round_of(round, forged));
    }
    EXPECT_EQ(state.series.size(), kMaxServerSeries);
    EXPECT_EQ(state.series.count(labels_of("192.168.77.1")), 0u) << "heard longest ago";
    EXPECT_EQ(state.series.at(labels_of("192.168.77.2")).replies_total, 3.0) << "heard in every round: kept";
    EXPECT_EQ(state.series_dropped, static_cast<int>(1 + 3 * (kMaxServerSeries / 2) + 1 - kMaxServerSeries));
}

// One cap on servers and Ethernet addresses together; the silent retire after 10 rounds. Cases: rounds of the real
// and forged servers (each from so many Ethernet addresses), rounds of the real one alone, series left.
TEST(MetricsState, OneCapOverServersAndEthernetAndTheSilentRetire)
{
    const std::size_t cases[][5] = {{30, 300, 16, 0, 1 + 240 * 17},
                                    {1, 1, 5000, 0, 2 + kMaxEthernetPerServer},
                                    {30, 300, 2, 10, 1},
                                    {1, 300, 0, 9, 301}};
    for (const auto& [forged_rounds, servers, ethernets, quiet_rounds, left] : cases) {
        MetricsState state;
        int round = 1;
        for (; round <= static_cast<int>(forged_rounds); ++round) {
            RoundRecord record = round_of(round, {"192.168.77.1"});
            for (std::size_t n = 0; n < servers; ++n)
                record.heard.push_back({labels_of("10." + std::to_string(round) + "." + std::to_string(n)), 1, 0.0,
                                        std::vector<std::pair<std::string, std::string>>(ethernets, {"", ""})});
            add_round(state, record);
        }
        for (std::size_t k = 0; k < quiet_rounds; ++k) add_round(state, round_of(round++, {"192.168.77.1"}));
        std::size_t series = 0;
        for (const auto& entry : state.series) series += 1 + entry.second.ethernet.size();
        EXPECT_EQ(series, left) << forged_rounds << " rounds, " << ethernets << " Ethernet addresses";
        EXPECT_EQ(state.series.count(labels_of("192.168.77.1")), 1u) << "the real server, heard every round";
    }
}

// name -> its TYPE, from the text format.
std::map<std::string, std::string> types_of(const std::string& text)
{
    std::map<std::string, std::string> types;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex("# TYPE (\\S+) (\\S+)"))) types[m[1]] = m[2];
    }
    return types;
}

TEST(MetricFamilies, NamesUnitsTypesAndLabelsByPrometheusConventions)
{
    MetricsState state;
    state.version = "1.2.3";
    const std::string before = metrics_text(metric_families(state));
    EXPECT_EQ(before,
              "# HELP orvane_build_info The probe's build: its version in a label; always 1.\n"
              "# TYPE orvane_build_info gauge\n"
              "orvane_build_info{version=\"1.2.3\"} 1\n")
        << "before the first round only the identity: no made-up zeros";

    RoundRecord record = round_of(5, {"192.168.77.1"});
    record.heard.push_back(ServerHeard{labels_of("192.168.77.3", "false", "192.168.77.2"), 1, -1.0, {}});
    record.expected.push_back(ExpectedHeard{ServerLabels{"ipv4", "", "", "10.77.0.2", "", "true"}, false});
    add_round(state, record);
    const std::string text = metrics_text(metric_families(state));
    const std::map<std::string, std::string> types = types_of(text);
    const std::pair<const char*, const char*> expected_types[] = {
        {"orvane_build_info", "gauge"},
        {"orvane_rounds_total", "counter"},
        {"orvane_round_success", "gauge"},
        {"orvane_round_status", "gauge"},
        {"orvane_round_duration_seconds", "gauge"},
        {"orvane_round_interval_seconds", "gauge"},
        {"orvane_last_round_timestamp_seconds", "gauge"},
        {"orvane_servers", "gauge"},
        {"orvane_unexpected_servers", "gauge"},
        {"orvane_expected_servers_missing", "gauge"},
        {"orvane_not_dhcp_datagrams_total", "counter"},
        {"orvane_over_limit_answers_total", "counter"},
        {"orvane_server_series_dropped_total", "counter"},
        {"orvane_server_series_retired_total", "counter"},
        {"orvane_server_replies_total", "counter"},
        {"orvane_server_answered", "gauge"},
        {"orvane_server_first_offer_seconds", "gauge"},
        {"orvane_expected_server_answered", "gauge"},
    };
    EXPECT_EQ(types.size(), std::size(expected_types));
    for (const auto& [name, type] : expected_types) {
        ASSERT_EQ(types.count(name), 1u) << name;
        EXPECT_EQ(types.at(name), type) << name;
        const bool total = std::string(name).ends_with("_total");
        EXPECT_EQ(total, std::string(type) == "counter") << name << ": _total on counters only";
    }
    const char* lines[] = {
        "orvane_rounds_total 1",
        "orvane_round_success 1",
        "orvane_last_round_timestamp_seconds 5",
        "orvane_server_replies_total{family=\"ipv4\",interface=\"eth0\",vlan=\"\",server=\"192.168.77.3\","
        "relay=\"192.168.77.2\",expected=\"false\"} 1",
        "orvane_server_first_offer_seconds{family=\"ipv4\",interface=\"eth0\",vlan=\"\",server=\"192.168.77.1\","
        "relay=\"\",expected=\"true\"} 0.002",
        "orvane_expected_server_answered{family=\"ipv4\",interface=\"\",vlan=\"\",server=\"10.77.0.2\",relay=\"\","
        "expected=\"true\"} 0",
    };
    for (const char* line : lines) EXPECT_NE(text.find(std::string("\n") + line + "\n"), std::string::npos) << line;
    EXPECT_EQ(
        text.find(
            "orvane_server_first_offer_seconds{family=\"ipv4\",interface=\"eth0\",vlan=\"\",server=\"192.168.77.3\""),
        std::string::npos)
        << "no first offer for a server that offered nothing";
}

// One HTTP GET to 127.0.0.1:port; the body, or "" when it failed.
std::string http_get(int port, const std::string& path)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return {};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) response.append(buffer, got);
        }
    }
    close(fd);
    const std::size_t body = response.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : response.substr(body + 4);
}

// Every value of a metric in a scrape (one per label set).
std::vector<double> values_of(const std::string& text, const std::string& name)
{
    std::vector<double> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(name, 0) != 0 || (line[name.size()] != ' ' && line[name.size()] != '{')) continue;
        values.push_back(std::stod(line.substr(line.rfind(' ') + 1)));
    }
    return values;
}

// A scrape while rounds are published, many times: every scrape shows one whole round, never the counters of one
// round beside the timestamp of another. Run under TSan too: the exposer serves from threads of its own.
TEST(MetricsExposer, AScrapeSeesWholeRoundsOnly)
{
    ProbeOptions options;
    options.metrics_listen = "127.0.0.1:0";  // a free port, on loopback only
    MetricsOutletPtr outlet;
    ASSERT_EQ(open_metrics(options, outlet), "");
    ASSERT_TRUE(outlet);
    const std::vector<int> ports = metrics_listening_ports(*outlet);
    ASSERT_EQ(ports.size(), 1u);
    const std::vector<std::string> servers{"192.168.77.1", "10.77.0.2", "192.168.77.3", "192.168.77.4"};
    std::atomic<bool> done{false};
    std::atomic<int> scrapes{0}, torn{0};
    std::thread scraper([&] {
        while (!done.load()) {
            const std::string text = http_get(ports[0], "/metrics");
            const std::vector<double> rounds = values_of(text, "orvane_rounds_total");
            if (rounds.empty()) continue;
            scrapes += 1;
            const std::vector<double> stamps = values_of(text, "orvane_last_round_timestamp_seconds");
            const std::vector<double> replies = values_of(text, "orvane_server_replies_total");
            bool whole = stamps.size() == 1 && stamps[0] == rounds[0] && replies.size() == servers.size();
            for (const double count : replies) whole = whole && count == rounds[0];
            if (!whole) torn += 1;
        }
    });
    for (int round = 1; round <= 400; ++round) {
        publish_metrics(*outlet, round_of(round, servers));
        if (round % 20 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    while (scrapes.load() < 20) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    done = true;
    scraper.join();
    EXPECT_EQ(torn.load(), 0) << "of " << scrapes.load() << " scrapes";
    EXPECT_EQ(http_get(ports[0], "/elsewhere").find("orvane_"), std::string::npos);
    EXPECT_EQ(values_of(http_get(ports[0], "/metrics"), "orvane_rounds_total"), std::vector<double>{400.0});
}

TEST(MetricsExposer, AnIpv6AddressWorksOrIsRefusedForItsReason)
{
    ProbeOptions options;
    options.metrics_listen = "[::1]:0";
    MetricsOutletPtr outlet;
    const std::string failure = open_metrics(options, outlet);
    if (exposer_has_ipv6()) {
        EXPECT_EQ(failure, "");
        ASSERT_TRUE(outlet);
        EXPECT_EQ(metrics_listening_ports(*outlet).size(), 1u);
    } else {
        EXPECT_EQ(failure,
                  "cannot serve metrics on [::1]:0: the HTTP server under prometheus-cpp here (civetweb) was "
                  "built without IPv6; give an IPv4 address");
        EXPECT_FALSE(outlet);
    }
}

TEST(MetricsExposer, AnAddressItCannotTakeIsSaid)
{
    ProbeOptions options;
    options.metrics_listen = "192.0.2.99:9464";  // an address this host does not have
    MetricsOutletPtr outlet;
    const std::string failure = open_metrics(options, outlet);
    EXPECT_EQ(failure.rfind("cannot serve metrics on 192.0.2.99:9464: ", 0), 0u) << failure;
    EXPECT_FALSE(outlet);
    ProbeOptions none;
    EXPECT_EQ(open_metrics(none, outlet), "");
    EXPECT_FALSE(outlet) << "nothing listens unless asked";
}

TEST(MetricsFile, ReplacedWholeAndFailuresSaidOncePerChange)
{
    ScratchFolder scratch;
    const std::filesystem::path folder = scratch.path / "textfile";
    ProbeOptions options;
    options.metrics_file = (folder / "orvane.prom").string();
    MetricsOutletPtr outlet;
    ASSERT_EQ(open_metrics(options, outlet), "");
    testing::internal::CaptureStderr();
    for (int round = 1; round <= 3; ++round) publish_metrics(*outlet, round_of(round, {"192.168.77.1"}));
    std::filesystem::create_directory(folder);
    const mode_t umask_was = umask(0077);  // the unit's: node_exporter, another user, must still read the file
    for (int round = 4; round <= 5; ++round) publish_metrics(*outlet, round_of(round, {"192.168.77.1"}));
    umask(umask_was);
    EXPECT_EQ(static_cast<int>(std::filesystem::status(options.metrics_file).permissions()), 0644);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string cannot = "orvane-probe: the metrics file " + options.metrics_file + " cannot be written (";
    ASSERT_NE(err.find(cannot), std::string::npos) << err;
    EXPECT_EQ(err.find(cannot, err.find(cannot) + 1), std::string::npos) << "once, not per round: " << err;
    EXPECT_NE(err.find("orvane-probe: the metrics file " + options.metrics_file + " is written again\n"),
              std::string::npos)
        << err;
    std::ifstream in(options.metrics_file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\norvane_rounds_total 5\n"), std::string::npos) << text;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1)
        << "no temporary file left beside it";
}

TEST(EventCommand, RunsThroughTheShellWithTheEventAndSaysFailures)
{
    ScratchFolder scratch;
    const std::string out = (scratch.path / "seen").string();
    ProbeEvent event;
    event.kind = EventKind::expected_server_silent;
    event.labels = ServerLabels{"ipv4", "eth0", "", "10.77.0.2", "", "true"};
    event.round = 3;
    event.unix_ms = 0;
    setenv("ORVANE_SERVER", "stale", 1);
    EventCommands commands;
    commands.command =
        "echo \"$ORVANE_EVENT $ORVANE_SERVER $ORVANE_ROUND $ORVANE_TIME [$ORVANE_VLAN]\" >>'" + out + "'; exit 3";
    testing::internal::CaptureStderr();
    start_event_command(commands, event);
    reap_event_commands(commands, 5000);
    commands.command = "sleep 5";
    for (std::size_t n = 0; n < kMaxRunningCommands + 1; ++n) start_event_command(commands, event);
    const auto started = std::chrono::steady_clock::now();
    reap_event_commands(commands, 100);
    const auto took = std::chrono::steady_clock::now() - started;
    const std::string err = testing::internal::GetCapturedStderr();
    unsetenv("ORVANE_SERVER");
    std::ifstream in(out);
    std::string seen;
    std::getline(in, seen);
    EXPECT_EQ(seen, "expected-server-silent 10.77.0.2 3 1970-01-01T00:00:00.000Z []");
    EXPECT_NE(err.find("orvane-probe: the --on-change command for expected-server-silent ended with status 3\n"),
              std::string::npos)
        << err;
    EXPECT_LT(took, std::chrono::seconds(1)) << "commands are not waited for past the bound";
    EXPECT_EQ(commands.running.size(), kMaxRunningCommands);
    EXPECT_EQ(queued_events(commands.queue), 1u) << "the event past the bound waits for a slot";
    for (const RunningCommand& running : commands.running) kill(static_cast<pid_t>(running.process), SIGKILL);
    reap_event_commands(commands, 300);
    EXPECT_EQ(commands.running.size(), 1u) << "a freed slot takes the waiting event";
    EXPECT_EQ(queued_events(commands.queue), 0u);
    kill(static_cast<pid_t>(commands.running.front().process), SIGKILL);
    reap_event_commands(commands, 2000);
    EXPECT_TRUE(commands.running.empty());
}

}  // namespace
