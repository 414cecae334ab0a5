// The report blocks as a table, and the receiver loop over a loopback socket with a fake window.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/app_state.h"
#include "app/receiver_loop.h"
#include "fake_window.h"
#include "net/network.h"
#include "net/raw_log.h"
#include "protocol/report_lines.h"
#include "tests/fixtures/reply_fixtures.h"

namespace {

std::string report_block(const ReplySummary& summary)
{
    std::string block;
    ReportText text{};
    const ReportPlan plan = plan_report(summary);
    for (int k = 0; k < plan.count; ++k) {
        format_report_line(text, plan.lines[k], summary);
        block += text.data();
    }
    return block;
}

struct BlockCase {
    const char* name;
    ReplySummary summary;
    const char* block;
};

// Test names print the case name, not its bytes.
void PrintTo(const BlockCase& c, std::ostream* out)
{
    *out << c.name;
}

const BlockCase kBlockCases[] = {
    {"nothing_but_zeros_gives_two_lines", {}, "Packet from 0.0.0.0 \r\n-------------------------\r\n"},
    {"direct_offer_gives_three_lines",
     {{192, 168, 1, 1}, {0, 0, 0, 0}, {192, 168, 1, 57}},
     "Packet from 192.168.1.1 \r\n Offered IP 192.168.1.57 \r\n-------------------------\r\n"},
    {"relayed_offer_gives_four_lines",
     {{10, 77, 0, 2}, {192, 168, 77, 2}, {192, 168, 77, 200}},
     "Packet from 10.77.0.2 \r\n Relayed by 192.168.77.2 \r\n Offered IP 192.168.77.200 \r\n"
     "-------------------------\r\n"},
    {"relay_without_offer_gives_three_lines",
     {{10, 0, 0, 1}, {10, 0, 0, 254}, {0, 0, 0, 0}},
     "Packet from 10.0.0.1 \r\n Relayed by 10.0.0.254 \r\n-------------------------\r\n"},
    {"first_octet_zero_counts_as_absent",
     {{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 1, 2, 3}},
     "Packet from 0.1.2.3 \r\n-------------------------\r\n"},
    {"only_the_first_octet_is_tested",
     {{1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}},
     "Packet from 1.0.0.0 \r\n Relayed by 1.0.0.0 \r\n Offered IP 1.0.0.0 \r\n-------------------------\r\n"},
    {"octets_are_unsigned_without_leading_zeros",
     {{255, 255, 255, 255}, {128, 0, 9, 10}, {200, 100, 7, 0}},
     "Packet from 255.255.255.255 \r\n Relayed by 128.0.9.10 \r\n Offered IP 200.100.7.0 \r\n"
     "-------------------------\r\n"},
};

class ReportBlock : public testing::TestWithParam<BlockCase> {};

TEST_P(ReportBlock, IsFormattedExactly)
{
    EXPECT_EQ(report_block(GetParam().summary), GetParam().block);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReportBlock, testing::ValuesIn(kBlockCases),
                         [](const testing::TestParamInfo<BlockCase>& info) { return info.param.name; });

constexpr Ipv4Address kLoopback{127, 0, 0, 1};
constexpr Ipv4Address kNone{0, 0, 0, 0};

// The loop on its own thread over a loopback endpoint, stopped as the window stops it.
class ReceiverLoop : public testing::Test {
protected:
    void SetUp() override
    {
        reset_app_state();
        reset_fake_window();
        ASSERT_EQ(start_network(app_state.socket_library_state), 0);
        std::uint16_t sender_port = 0;
        app_state.reply_endpoint = open_free_endpoint(port);
        ASSERT_NE(app_state.reply_endpoint, kNoEndpoint);
        sender = open_free_endpoint(sender_port);
        ASSERT_NE(sender, kNoEndpoint);
        // The loop appends to LogFile in the current folder.
        previous_folder = std::filesystem::current_path();
        std::filesystem::current_path(scratch.path);
        log_path = scratch.path / "LogFile";
        app_state.stop_flag.store(0);
        receiver = std::thread(receiver_loop);
    }
    void TearDown() override
    {
        stop();
        close_udp_endpoint(app_state.reply_endpoint);
        close_udp_endpoint(sender);
        std::filesystem::current_path(previous_folder);
        reset_app_state();
    }
    void stop()
    {
        if (!receiver.joinable()) return;
        app_state.stop_flag.store(1);
        stop_network();
        receiver.join();
    }
    void send(const Bytes& bytes)
    {
        ASSERT_EQ(send_datagram(sender, bytes.data(), bytes.size(), kLoopback, port), static_cast<int>(bytes.size()));
    }

    ScratchFolder scratch;
    std::filesystem::path previous_folder;
    std::filesystem::path log_path;
    std::uint16_t port = 0;
    Endpoint sender = kNoEndpoint;
    std::thread receiver;
};

TEST_F(ReceiverLoop, CountsAndReportsEveryReturnUntilStopped)
{
    const Bytes direct = make_reply({192, 168, 77, 100}, kNone, {53, 1, 2, 54, 4, 192, 168, 77, 1, 255});
    const Bytes relayed = make_reply({192, 168, 77, 200}, {192, 168, 77, 2}, {53, 1, 2, 54, 4, 10, 77, 0, 2, 255});
    Bytes oversized = make_reply(kNone, kNone, {54, 4, 10, 0, 0, 9, 255});
    oversized.resize(600, 0x41);
    const Bytes garbage(30, 0xEE);  // yiaddr and giaddr become 238.238.238.238; the options stay as they were

    for (const Bytes* datagram : std::initializer_list<const Bytes*>{&direct, &relayed, &oversized, &garbage})
        send(*datagram);
    send({});
    ASSERT_TRUE(wait_for_fake_blocks(5, 5000)) << "the loop did not report five datagrams";
    stop();

    const FakeWindowRecord record = fake_window_record();
    // The receive that the stop breaks off is counted and reported too, over the unchanged
    // buffer, when the loop was already back in it; a loop still between its test and the
    // receive ends without it.
    const std::string garbage_block =
        "Packet from 10.0.0.9 \r\n Relayed by 238.238.238.238 \r\n Offered IP 238.238.238.238 \r\n"
        "-------------------------\r\n";
    const std::string five_blocks =
        "Packet from 192.168.77.1 \r\n Offered IP 192.168.77.100 \r\n-------------------------\r\n"
        "Packet from 10.77.0.2 \r\n Relayed by 192.168.77.2 \r\n Offered IP 192.168.77.200 \r\n"
        "-------------------------\r\n"
        "Packet from 10.0.0.9 \r\n-------------------------\r\n" +
        garbage_block + garbage_block;
    if (record.counts.size() == 6) {
        EXPECT_EQ(record.counts, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(record.report, five_blocks + garbage_block);
    } else {
        EXPECT_EQ(record.counts, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
        EXPECT_EQ(record.report, five_blocks);
    }
    // The oversized datagram never reaches the log; the others do, the empty one adding nothing.
    Bytes logged;
    for (const Bytes* datagram : {&direct, &relayed, &garbage}) {
        const Bytes stored = text_stream_bytes(*datagram);
        logged.insert(logged.end(), stored.begin(), stored.end());
    }
    EXPECT_EQ(read_file(log_path), logged);
}

TEST_F(ReceiverLoop, CountsAndReportsTheReceiveThatTheStopBreaksOff)
{
    // Long enough for the new thread to be blocked in its first receive.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop();
    const FakeWindowRecord record = fake_window_record();
    EXPECT_EQ(record.counts, (std::vector<std::int32_t>{1}));
    EXPECT_EQ(record.report, "Packet from 0.0.0.0 \r\n-------------------------\r\n");
    EXPECT_FALSE(std::filesystem::exists(log_path));
}

}  // namespace
