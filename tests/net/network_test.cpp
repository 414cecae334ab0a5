// The endpoints over loopback on an unprivileged port: binding, receiving and breaking off.
// Ports 67 and 68 and every broadcast are tested only inside the lab's namespaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>
#ifndef _WIN32
#include <sys/socket.h>
#endif

#include "net/device_endpoints.h"
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

// The length a report gives is the datagram's own, where the platform can tell it.
TEST_F(Endpoints, ArrivalCarriesTheDatagramsOwnLength)
{
    std::vector<std::uint8_t> buffer(548);
    const std::size_t lengths[] = {0, 300, 548, 549, 1500, 65507};
    for (const std::size_t length : lengths) {
        ASSERT_EQ(send_bytes(std::vector<std::uint8_t>(length, 0x41)), static_cast<int>(length));
        Arrival arrival;
        const int received = receive_datagram(receiver, buffer.data(), buffer.size(), &arrival);
        EXPECT_EQ(arrival.truncated, length > 548) << length;
        EXPECT_EQ(received, length > 548 ? -1 : static_cast<int>(length));
        if (length <= 548) {
            EXPECT_EQ(arrival.datagram_length, static_cast<long long>(length));
        } else {
#ifdef _WIN32
            EXPECT_EQ(arrival.datagram_length, -1) << "Winsock cannot tell";
#else
            EXPECT_EQ(arrival.datagram_length, static_cast<long long>(length));
#endif
        }
    }
}

#ifndef _WIN32
// A flood the endpoint cannot hold: the kernel's drop count comes with the next datagram read.
TEST_F(Endpoints, ArrivalCarriesTheKernelsDropCount)
{
    std::uint8_t buffer[548];
    ASSERT_EQ(send_bytes({1}), 1);
    Arrival before;
    ASSERT_EQ(receive_datagram(receiver, buffer, sizeof buffer, &before), 1);
    EXPECT_EQ(before.kernel_drops, -1) << "not asked for";

    ASSERT_TRUE(report_kernel_drops(receiver));
    const int small = 1;  // the kernel's own floor, a few datagrams
    ASSERT_EQ(setsockopt(static_cast<int>(receiver), SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    const std::vector<std::uint8_t> datagram(548, 0x42);
    for (int n = 0; n < 200; ++n) send_bytes(datagram);
    // The count rides on the datagrams queued after a drop: the queue is read empty, then one more comes.
    int queued = 0;
    Endpoint endpoints[] = {receiver};
    while (wait_for_datagram(endpoints, 1, 0) == 0) {
        Arrival queued_one;
        ASSERT_EQ(receive_datagram(receiver, buffer, sizeof buffer, &queued_one), 548);
        queued += 1;
    }
    ASSERT_EQ(send_bytes({2}), 1);
    Arrival after;
    ASSERT_EQ(receive_datagram(receiver, buffer, sizeof buffer, &after), 1);
    EXPECT_GT(after.kernel_drops, 0);
    EXPECT_EQ(after.kernel_drops + queued, 200) << "every datagram either read or counted as dropped";
}
#endif

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
