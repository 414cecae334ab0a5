// The endpoints over loopback on an unprivileged port: binding, receiving and breaking off.
// Ports 67 and 68 and every broadcast are tested only inside the lab's namespaces.
#include <gtest/gtest.h>

#include <vector>

#include "net/network.h"
#include "tests/fixtures/reply_fixtures.h"

namespace {

constexpr Ipv4Address kLoopback{127, 0, 0, 1};

class Endpoints : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(start_network(library), 0);
        receiver = open_free_endpoint(port);
        ASSERT_NE(receiver, kNoEndpoint);
        sender = open_free_endpoint(sender_port);
        ASSERT_NE(sender, kNoEndpoint);
    }
    void TearDown() override
    {
        close_udp_endpoint(receiver);
        close_udp_endpoint(sender);
        stop_network();
    }

    int send_bytes(const std::vector<std::uint8_t>& bytes)
    {
        return send_datagram(sender, bytes.data(), bytes.size(), kLoopback, port);
    }

    SocketLibraryState library{};
    std::uint16_t port = 0;
    std::uint16_t sender_port = 0;
    Endpoint receiver = kNoEndpoint;
    Endpoint sender = kNoEndpoint;
};

TEST_F(Endpoints, APortHeldByAnotherSocketCannotBeBound)
{
    const Endpoint second = open_udp_endpoint(port);
    EXPECT_EQ(second, kNoEndpoint);
    EXPECT_NE(last_network_error(), 0);
    EXPECT_FALSE(network_error_text(last_network_error()).empty());
}

TEST_F(Endpoints, ReceivesADatagramWithItsSender)
{
    const std::vector<std::uint8_t> bytes{1, 2, 3, 0x0A, 0xFF};
    ASSERT_EQ(send_bytes(bytes), 5);
    std::uint8_t buffer[548] = {};
    Arrival arrival;
    ASSERT_EQ(receive_datagram(receiver, buffer, sizeof buffer, &arrival), 5);
    const DatagramSource& source = arrival.source;
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 5), bytes);
    EXPECT_EQ(source.address, kLoopback);
    EXPECT_EQ(source.port, sender_port);
}

TEST_F(Endpoints, AnEmptyDatagramHasLengthZero)
{
    ASSERT_EQ(send_bytes({}), 0);
    std::uint8_t buffer[548] = {};
    EXPECT_EQ(receive_datagram(receiver, buffer, sizeof buffer), 0);
}

TEST_F(Endpoints, ALongerDatagramFailsAndLeavesItsHeadInTheBuffer)
{
    std::vector<std::uint8_t> bytes(600);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(send_bytes(bytes), 600);
    std::vector<std::uint8_t> buffer(548 + 16, 0xCC);  // guard bytes behind the 548
    EXPECT_EQ(receive_datagram(receiver, buffer.data(), 548), -1);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 548, bytes.begin()));
    EXPECT_EQ(buffer[548], 0xCC);
    // The next datagram is received normally.
    ASSERT_EQ(send_bytes({7, 8}), 2);
    EXPECT_EQ(receive_datagram(receiver, buffer.data(), 548), 2);
}

TEST_F(Endpoints, StoppingTheNetworkBreaksOffABlockedReceive)
{
    const BreakOff outcome = break_off_by_stop([&] {
        std::uint8_t buffer[548];
        return receive_datagram(receiver, buffer, sizeof buffer);
    });
    EXPECT_TRUE(outcome.blocked_before_stop);
    EXPECT_TRUE(outcome.returned_after_stop);
    EXPECT_EQ(outcome.result, -1);
    stop_network();  // a second stop is harmless
}

}  // namespace
