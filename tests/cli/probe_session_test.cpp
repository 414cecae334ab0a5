// The probe's reply loop on loopback (natively and under Wine): replies taken off the endpoint, logged,
// reported as text or JSON, --quick ending the wait as soon as the expected servers answered, and the stop.
// Nothing is broadcast: no round is sent, the test's own socket sends the replies to 127.0.0.1.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "cli/probe_session.h"
#include "cli/verdict.h"
#include "net/device_endpoints.h"
#include "net/network.h"
#include "net/raw_log.h"
#include "tests/fixtures/reply_fixtures.h"

namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

const Ipv4Address kLoopback{127, 0, 0, 1};

Bytes offer_from(const Ipv4Address& server, const Ipv4Address& offered)
{
    return make_reply(offered, {},
                      {53, 1, 2, 54, 4, server[0], server[1], server[2], server[3], 1, 4, 255, 255, 255, 0, 255});
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class ProbeSessionLoopback : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(start_network(library_), 0);
        reply_endpoint_ = open_free_endpoint(reply_port_);
        ASSERT_NE(reply_endpoint_, kNoEndpoint);
        report_arrival_interface(reply_endpoint_);
        sender_ = open_free_endpoint(sender_port_);
        ASSERT_NE(sender_, kNoEndpoint);
        log_ = (folder_.path / "LogFile").string();
    }
    void TearDown() override
    {
        close_udp_endpoint(reply_endpoint_);
        close_udp_endpoint(sender_);
        stop_network();
    }
    void begin(const ProbeOptions& options)
    {
        ProbeSocket socket;
        socket.reply = reply_endpoint_;
        ProbeOptions logged = options;
        logged.log_path = log_;
        begin_session(session_, logged, {socket}, &stop_request_);
        start_round(session_);
    }
    void send(const Bytes& datagram)
    {
        ASSERT_EQ(send_datagram(sender_, datagram.data(), datagram.size(), kLoopback, reply_port_),
                  static_cast<int>(datagram.size()));
    }

    SocketLibraryState library_{};
    std::atomic<int> stop_request_{0};
    ScratchFolder folder_;
    std::string log_;
    Endpoint reply_endpoint_ = kNoEndpoint, sender_ = kNoEndpoint;
    std::uint16_t reply_port_ = 0, sender_port_ = 0;
    ProbeSession session_;
};

TEST_F(ProbeSessionLoopback, QuickEndsWhenEveryExpectedServerAnsweredAndJsonSaysSo)
{
    ProbeOptions options;
    options.format = OutputFormat::json;
    options.expected = {{10, 0, 0, 1}, {10, 0, 0, 2}};
    options.quick = true;
    begin(options);
    const Bytes first = offer_from({10, 0, 0, 1}, {10, 0, 0, 50});
    const Bytes second = offer_from({10, 0, 0, 2}, {10, 0, 0, 60});
    send(first);
    send(second);
    testing::internal::CaptureStdout();
    const auto started = Clock::now();
    const bool satisfied = listen_until(session_, started + std::chrono::seconds(10), true);
    const auto took = Clock::now() - started;
    const int status = finish_session(session_);
    const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
    EXPECT_TRUE(satisfied);
    EXPECT_LT(took, std::chrono::seconds(3)) << "--quick must not wait out the deadline";
    EXPECT_EQ(status, kExitConcern) << "loopback replies come from another address than their identifier";
    ASSERT_EQ(lines.size(), 3u);
    const Json a = Json::parse(lines[0]), b = Json::parse(lines[1]), summary = Json::parse(lines[2]);
    EXPECT_EQ(a["server_identifier"], "10.0.0.1");
    EXPECT_EQ(a["source"]["address"], "127.0.0.1");
    EXPECT_EQ(a["source"]["port"], sender_port_);
    EXPECT_EQ(a["expected"], true);
    EXPECT_EQ(a["offered_address"], "10.0.0.50");
    EXPECT_EQ(a["flags"]["identifier_differs_from_source"], true);
    EXPECT_EQ(b["flags"]["several_servers_on_link"], true);
    if (interface_binding_supported()) {
        EXPECT_EQ(a["interface"], "lo");
    } else {
        EXPECT_TRUE(a["interface"].is_null()) << "Winsock does not say where a datagram came in";
    }
    EXPECT_EQ(summary["type"], "summary");
    EXPECT_EQ(summary["verdict"]["status"], kExitConcern);
    EXPECT_EQ(summary["servers"].size(), 2u);
    Bytes both = text_stream_bytes(first);
    const Bytes stored_second = text_stream_bytes(second);
    both.insert(both.end(), stored_second.begin(), stored_second.end());
    EXPECT_EQ(read_file(log_), both);
}

TEST_F(ProbeSessionLoopback, WithoutQuickTheWholeWaitIsListenedTo)
{
    ProbeOptions options;
    options.format = OutputFormat::json;
    options.expected = {{10, 0, 0, 1}};
    begin(options);
    send(offer_from({10, 0, 0, 1}, {10, 0, 0, 50}));
    testing::internal::CaptureStdout();
    const auto started = Clock::now();
    // A late rogue, after the expected server: a probe that stopped early would miss it.
    std::thread late([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        send(offer_from({10, 0, 0, 66}, {10, 0, 0, 70}));
    });
    const bool satisfied = listen_until(session_, started + std::chrono::milliseconds(800), false);
    late.join();
    const auto took = Clock::now() - started;
    const int status = finish_session(session_);
    const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
    EXPECT_FALSE(satisfied);
    EXPECT_GE(took, std::chrono::milliseconds(790));
    EXPECT_EQ(status, 2);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Json::parse(lines[1])["expected"], false);
    EXPECT_EQ(Json::parse(lines[2])["verdict"]["unexpected"], (Json{"10.0.0.66"}));
}

TEST_F(ProbeSessionLoopback, PlainTextIsTheWindowProgramsBlockWithFlagsAndSummaryOnStderr)
{
    ProbeOptions options;
    begin(options);
    send(make_reply({10, 0, 0, 50}, {192, 168, 1, 2}, {53, 1, 2, 54, 4, 10, 0, 0, 9, 1, 4, 255, 255, 255, 0, 255}));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    listen_until(session_, Clock::now() + std::chrono::milliseconds(300), false);
    const int status = finish_session(session_);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::vector<std::string> err = lines_of(testing::internal::GetCapturedStderr());
    EXPECT_EQ(status, kExitConcern);
    EXPECT_EQ(out,
              "Packet from 10.0.0.9 \n Relayed by 192.168.1.2 \n Offered IP 10.0.0.50 \n-------------------------\n");
    ASSERT_EQ(err.size(), 4u);
    EXPECT_EQ(err[0], "Packets Recieved: 1");
    EXPECT_EQ(err[1], " Flags offer-outside-relay-network");
    EXPECT_EQ(err[2].rfind("Server 10.0.0.9: 1 reply, 1 offer, 1 round, first ", 0), 0u) << err[2];
    EXPECT_EQ(err[3],
              "Verdict 1: something answered; no server was named with --expect; replies carry concerns: 10.0.0.9 "
              "offer-outside-relay-network");
}

TEST_F(ProbeSessionLoopback, ExtendedTextPutsTheProbesLinesInTheBlock)
{
    ProbeOptions options;
    options.extended_text = true;
    options.expected = {{10, 0, 0, 9}};
    begin(options);
    send(make_reply({10, 0, 0, 50}, {}, {53, 1, 6, 54, 4, 10, 0, 0, 9, 255}));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    listen_until(session_, Clock::now() + std::chrono::milliseconds(300), false);
    const int status = finish_session(session_);
    const std::vector<std::string> out = lines_of(testing::internal::GetCapturedStdout());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, kExitConcern);
    const std::size_t source = interface_binding_supported() ? 3 : 2;
    ASSERT_EQ(out.size(), source + 6) << "block, one server line, the verdict";
    EXPECT_EQ(out[0], "Packet from 10.0.0.9 ");
    EXPECT_EQ(out[1], " Offered IP 10.0.0.50 ");
    if (interface_binding_supported()) {
        EXPECT_EQ(out[2], " Interface lo");
    }
    EXPECT_EQ(out[source], " Source 127.0.0.1:" + std::to_string(sender_port_));
    EXPECT_EQ(out[source + 1], " Message NAK");
    EXPECT_EQ(out[source + 2], " Flags not-offer identifier-differs-from-source");
    EXPECT_EQ(out[source + 3], "-------------------------");
    EXPECT_EQ(out.back(),
              "Verdict 1: every reply came from an expected server; replies carry concerns: 10.0.0.9 not-offer "
              "identifier-differs-from-source");
}

TEST_F(ProbeSessionLoopback, ALongDatagramIsReportedButNotLogged)
{
    ProbeOptions options;
    options.format = OutputFormat::json;
    begin(options);
    Bytes longer = offer_from({10, 0, 0, 1}, {10, 0, 0, 50});
    longer.resize(600, 0xee);
    send(longer);
    testing::internal::CaptureStdout();
    listen_until(session_, Clock::now() + std::chrono::milliseconds(300), false);
    const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
    ASSERT_EQ(lines.size(), 1u);
    const Json j = Json::parse(lines[0]);
    EXPECT_EQ(j["truncated"], true);
    if (interface_binding_supported()) {
        EXPECT_EQ(j["length"], 600) << "the datagram's own length";
    } else {
        EXPECT_TRUE(j["length"].is_null()) << "Winsock does not tell a longer datagram's length";
    }
    EXPECT_EQ(j["server_identifier"], "10.0.0.1");
    EXPECT_TRUE(read_file(log_).empty());
}

TEST_F(ProbeSessionLoopback, AStopRequestEndsTheWaitAtOnce)
{
    ProbeOptions options;
    options.format = OutputFormat::json;
    begin(options);
    const auto started = Clock::now();
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop_request_.store(1);
    });
    testing::internal::CaptureStdout();
    listen_until(session_, started + std::chrono::seconds(20), false);
    stopper.join();
    const auto took = Clock::now() - started;
    const int status = finish_session(session_);
    const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(status, kExitCritical);
    ASSERT_EQ(lines.size(), 1u);
    const Json summary = Json::parse(lines[0]);
    EXPECT_EQ(summary["verdict"]["text"], "nothing answered");
    EXPECT_EQ(summary["diagnostics"]["requests_sent"], 0);
}

// Datagrams that answer no request of the probe are reported and logged as ever, but never make a
// verdict OK: a 0-byte datagram once passed for "something answered".
TEST_F(ProbeSessionLoopback, WhatAnswersNothingIsReportedButNeverAnAnswer)
{
    ProbeOptions options;
    options.format = OutputFormat::json;
    begin(options);
    Bytes other_client = offer_from({10, 0, 0, 1}, {10, 0, 0, 50});
    other_client[7] = 0x55;  // another transaction
    send({});
    send(Bytes(30, 0x7f));
    send(other_client);
    testing::internal::CaptureStdout();
    listen_until(session_, Clock::now() + std::chrono::milliseconds(300), false);
    const int status = finish_session(session_);
    const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
    EXPECT_EQ(status, kExitSilent);
    ASSERT_EQ(lines.size(), 4u) << "each datagram still reported";
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(Json::parse(lines[k])["flags"]["not_dhcp"], true);
    const Json summary = Json::parse(lines[3]);
    EXPECT_EQ(summary["replies"], 3);
    EXPECT_EQ(summary["not_dhcp"], 3);
    EXPECT_EQ(summary["servers"], Json::array());
    EXPECT_EQ(summary["verdict"]["text"], "nothing answered");
    EXPECT_FALSE(summary["diagnostics"].is_null());
    Bytes logged(30, 0x7f);
    const Bytes stored = text_stream_bytes(other_client);
    logged.insert(logged.end(), stored.begin(), stored.end());
    EXPECT_EQ(read_file(log_), logged) << "logged as ever";
}

// The log cannot be written: said once, the replies counted, and said again when it can be after all.
TEST_F(ProbeSessionLoopback, AnUnwritableLogIsSaidOnceAndCounted)
{
    ProbeOptions options;
    begin(options);
    std::filesystem::create_directory(log_);
    const Bytes offer = offer_from({10, 0, 0, 1}, {10, 0, 0, 50});
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (int n = 0; n < 3; ++n) send(offer);
    listen_until(session_, Clock::now() + std::chrono::milliseconds(300), false);
    std::filesystem::remove(log_);
    send(offer);
    listen_until(session_, Clock::now() + std::chrono::milliseconds(300), false);
    const int status = finish_session(session_);
    testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, kExitConcern) << "sent from loopback with the identifier 10.0.0.1";
    const std::string cannot = "orvane-probe: the raw log " + log_ + " cannot be written (";
    ASSERT_NE(err.find(cannot), std::string::npos) << err;
    EXPECT_EQ(err.find(cannot, err.find(cannot) + 1), std::string::npos) << "said once, not per reply";
    EXPECT_NE(err.find("orvane-probe: the raw log " + log_ + " is written again"), std::string::npos) << err;
    EXPECT_NE(err.find("\nNot logged: 3 replies\n"), std::string::npos) << err;
    EXPECT_EQ(read_file(log_), text_stream_bytes(offer));
    EXPECT_EQ(session_.intake.not_logged, 3);
}

#ifndef _WIN32
// Standard output fails (here a full disk): the run ends with its own status and the summary on stderr.
TEST_F(ProbeSessionLoopback, AnOutputFailureEndsTheRunWithItsStatus)
{
    ProbeOptions options;
    options.format = OutputFormat::json;
    options.expected = {{10, 0, 0, 1}};
    begin(options);
    send(offer_from({10, 0, 0, 1}, {10, 0, 0, 50}));
    send(offer_from({10, 0, 0, 1}, {10, 0, 0, 50}));
    std::fflush(stdout);
    const int saved = dup(1);
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    dup2(full, 1);
    close(full);
    testing::internal::CaptureStderr();
    const auto started = Clock::now();
    const bool satisfied = listen_until(session_, started + std::chrono::seconds(5), false);
    const auto took = Clock::now() - started;
    const int status = finish_session(session_);
    const std::string err = testing::internal::GetCapturedStderr();
    dup2(saved, 1);
    close(saved);
    std::clearerr(stdout);
    EXPECT_FALSE(satisfied);
    EXPECT_LT(took, std::chrono::seconds(2)) << "the wait ends with the output";
    EXPECT_EQ(status, kExitOutputFailure);
    EXPECT_NE(err.find("the report cannot be written to standard output: No space left on device"), std::string::npos)
        << err;
    const std::vector<std::string> lines = lines_of(err);
    ASSERT_FALSE(lines.empty());
    const Json summary = Json::parse(lines.back());
    EXPECT_EQ(summary["type"], "summary");
    EXPECT_EQ(summary["verdict"]["status"], kExitConcern) << "the verdict itself stands (a loopback source)";
}
#endif

}  // namespace
