// receive_reply over a loopback socket: what reaches LogFile, the buffer and the summary,
// for good, short, oversized, empty and broken-off receives.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/exchange.h"
#include "net/network.h"
#include "net/raw_log.h"
#include "tests/fixtures/reply_fixtures.h"

namespace {

constexpr Ipv4Address kLoopback{127, 0, 0, 1};

Bytes concat(const Bytes& a, const Bytes& b)
{
    Bytes all = a;
    all.insert(all.end(), b.begin(), b.end());
    return all;
}

class ReceiveReply : public testing::Test {
protected:
    void SetUp() override
    {
        reset_app_state();
        ASSERT_EQ(start_network(app_state.socket_library_state), 0);
        receiver = open_free_endpoint(port);
        ASSERT_NE(receiver, kNoEndpoint);
        sender = open_free_endpoint(sender_port);
        ASSERT_NE(sender, kNoEndpoint);
        // receive_reply appends to LogFile in the current folder.
        previous_folder = std::filesystem::current_path();
        std::filesystem::current_path(scratch.path);
        log_path = scratch.path / "LogFile";
    }
    void TearDown() override
    {
        close_udp_endpoint(receiver);
        close_udp_endpoint(sender);
        stop_network();
        std::filesystem::current_path(previous_folder);
        reset_app_state();
    }
    void send(const Bytes& bytes)
    {
        ASSERT_EQ(send_datagram(sender, bytes.data(), bytes.size(), kLoopback, port), static_cast<int>(bytes.size()));
    }
    const ReplySummary& summary() const
    {
        return app_state.reply_summary;
    }

    ScratchFolder scratch;
    std::filesystem::path previous_folder;
    std::filesystem::path log_path;
    std::uint16_t port = 0;
    std::uint16_t sender_port = 0;
    Endpoint receiver = kNoEndpoint;
    Endpoint sender = kNoEndpoint;
};

TEST_F(ReceiveReply, LogsAndDecodesAnOffer)
{
    // yiaddr 10.10.10.10 holds four 0x0A bytes for the log to translate.
    const Bytes offer = make_reply({10, 10, 10, 10}, {0, 0, 0, 0}, {53, 1, 2, 54, 4, 192, 168, 1, 1, 255});
    send(offer);
    EXPECT_EQ(receive_reply(receiver), 548);
    EXPECT_EQ(read_file(log_path), text_stream_bytes(offer));
    EXPECT_EQ(summary().server_identifier, (Ipv4Address{192, 168, 1, 1}));
    EXPECT_EQ(summary().offered_address, (Ipv4Address{10, 10, 10, 10}));
    EXPECT_EQ(summary().relay_address, (Ipv4Address{0, 0, 0, 0}));
}

TEST_F(ReceiveReply, AShortDatagramWalksTheTailALongerOneLeft)
{
    // Both jump from index 4 to 200 (offset 436); only the long one has a 54 there.
    Bytes long_reply = make_reply({10, 0, 0, 1}, {0, 0, 0, 0}, {1, 194});
    const Bytes long_tail_option{54, 4, 10, 9, 8, 7, 255};
    std::copy(long_tail_option.begin(), long_tail_option.end(), long_reply.begin() + 436);
    const Bytes short_full = make_reply({10, 0, 0, 2}, {10, 3, 3, 3}, {1, 194}, 0x55);
    const Bytes short_reply(short_full.begin(), short_full.begin() + 300);

    send(long_reply);
    ASSERT_EQ(receive_reply(receiver), 548);
    send(short_reply);
    EXPECT_EQ(receive_reply(receiver), 300);

    EXPECT_TRUE(std::equal(app_state.reply_buffer.begin(), app_state.reply_buffer.begin() + 300, short_reply.begin()));
    EXPECT_TRUE(
        std::equal(app_state.reply_buffer.begin() + 300, app_state.reply_buffer.end(), long_reply.begin() + 300));
    EXPECT_EQ(summary().server_identifier, (Ipv4Address{10, 9, 8, 7}));
    EXPECT_EQ(summary().offered_address, (Ipv4Address{10, 0, 0, 2}));
    EXPECT_EQ(summary().relay_address, (Ipv4Address{10, 3, 3, 3}));
    EXPECT_EQ(read_file(log_path), concat(text_stream_bytes(long_reply), text_stream_bytes(short_reply)));
}

TEST_F(ReceiveReply, AnOversizedDatagramFailsIsNotLoggedButIsDecoded)
{
    Bytes oversized = make_reply({10, 0, 0, 99}, {0, 0, 0, 0}, {54, 4, 10, 0, 0, 9, 255});
    oversized.resize(600, 0x0A);
    send(oversized);
    EXPECT_EQ(receive_reply(receiver), -1);
    EXPECT_FALSE(std::filesystem::exists(log_path)) << "a failed receive must not even open the log";
    EXPECT_TRUE(std::equal(app_state.reply_buffer.begin(), app_state.reply_buffer.end(), oversized.begin()));
    EXPECT_EQ(summary().server_identifier, (Ipv4Address{10, 0, 0, 9}));
    EXPECT_EQ(summary().offered_address, (Ipv4Address{10, 0, 0, 99}));

    // The endpoint goes on receiving normally.
    send({0x41, 0x0A});
    EXPECT_EQ(receive_reply(receiver), 2);
    EXPECT_EQ(read_file(log_path), (Bytes{0x41, 0x0D, 0x0A}));
}

TEST_F(ReceiveReply, AnEmptyDatagramTouchesTheLogButChangesNothing)
{
    const Bytes offer = make_reply({10, 0, 0, 5}, {10, 0, 0, 254}, {54, 4, 10, 0, 0, 1, 255});
    send(offer);
    ASSERT_EQ(receive_reply(receiver), 548);
    const ReplySummary before = summary();
    const ReplyBuffer buffer_before = app_state.reply_buffer;
    std::filesystem::remove(log_path);

    send({});
    EXPECT_EQ(receive_reply(receiver), 0);
    EXPECT_TRUE(std::filesystem::exists(log_path)) << "the empty datagram still creates the log";
    EXPECT_EQ(std::filesystem::file_size(log_path), 0u);
    EXPECT_EQ(app_state.reply_buffer, buffer_before);
    EXPECT_EQ(summary().server_identifier, before.server_identifier);
    EXPECT_EQ(summary().offered_address, before.offered_address);
    EXPECT_EQ(summary().relay_address, before.relay_address);
}

TEST_F(ReceiveReply, ABrokenOffReceiveReturnsMinusOneAndLogsNothing)
{
    const Bytes offer = make_reply({10, 0, 0, 5}, {0, 0, 0, 0}, {54, 4, 10, 0, 0, 1, 255});
    send(offer);
    ASSERT_EQ(receive_reply(receiver), 548);
    const Bytes log_before = read_file(log_path);

    const BreakOff outcome = break_off_by_stop([&] { return receive_reply(receiver); });
    EXPECT_TRUE(outcome.blocked_before_stop);
    EXPECT_TRUE(outcome.returned_after_stop);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(read_file(log_path), log_before);
    EXPECT_EQ(summary().server_identifier, (Ipv4Address{10, 0, 0, 1}));
    EXPECT_EQ(summary().offered_address, (Ipv4Address{10, 0, 0, 5}));
}

TEST_F(ReceiveReply, AnUnopenableLogDoesNotStopTheDecoding)
{
    std::filesystem::create_directory(log_path);  // a folder named LogFile
    send(make_reply({10, 0, 0, 5}, {0, 0, 0, 0}, {54, 4, 10, 0, 0, 1, 255}));
    EXPECT_EQ(receive_reply(receiver), 548);
    EXPECT_TRUE(std::filesystem::is_directory(log_path));
    EXPECT_EQ(summary().server_identifier, (Ipv4Address{10, 0, 0, 1}));
    EXPECT_EQ(summary().offered_address, (Ipv4Address{10, 0, 0, 5}));
}

}  // namespace
