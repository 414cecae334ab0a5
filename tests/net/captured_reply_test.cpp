// A captured datagram through the reply intake: copied, logged and walked as a socket's receive would have it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "net/reply_intake.h"
#include "tests/fixtures/reply_fixtures.h"

namespace {

CapturedDatagram datagram_of(const Bytes& bytes)
{
    CapturedDatagram datagram;
    datagram.payload = bytes.data();
    datagram.length = bytes.size();
    datagram.frame.source_ip = {192, 168, 77, 1};
    datagram.frame.source_port = 67;
    return datagram;
}

TEST(CapturedReply, GoesTheWayASocketsReplyGoes)
{
    struct Row {
        const char* name;
        std::size_t length;
        int returned;
        bool truncated;
        bool logged;
    };
    const Row rows[] = {
        {"whole reply", 548, 548, false, true},
        {"short reply", 300, 300, false, true},
        {"empty datagram", 0, 0, false, true},
        {"longer than the buffer", 1400, -1, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder folder;
        const std::string path = (folder.path / "LogFile").string();
        RawLog log;
        log.path = path.c_str();
        Bytes bytes = make_reply({192, 168, 77, 120}, {}, {54, 4, 192, 168, 77, 1, 255}, 0x0A);
        bytes.resize(row.length, 0x0A);
        // What the buffer held before: a shorter datagram leaves the rest of it as it was, as a receive does.
        ReplyBuffer buffer;
        buffer.fill(0xEE);
        ReplySummary summary{};
        Arrival arrival;
        const int returned = take_captured_reply(datagram_of(bytes), log, buffer, summary, &arrival);
        EXPECT_EQ(returned, row.returned);
        EXPECT_EQ(arrival.truncated, row.truncated);
        EXPECT_EQ(arrival.datagram_length, static_cast<long long>(row.length));
        EXPECT_EQ(arrival.source.address, (Ipv4Address{192, 168, 77, 1}));
        EXPECT_EQ(arrival.source.port, 67);
        const std::size_t copied = std::min(row.length, buffer.size());
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + static_cast<long>(copied), buffer.begin()));
        EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<long>(copied), buffer.end(),
                                [](std::uint8_t b) { return b == 0xEE; }));
        EXPECT_EQ(read_file(path), row.logged ? text_stream_bytes(bytes) : Bytes{});
        EXPECT_EQ(log.last.result, row.logged ? LogResult::written : LogResult::off);
        if (row.length >= 548) {
            EXPECT_EQ(summary.server_identifier, (Ipv4Address{192, 168, 77, 1})) << "walked like any reply";
        }
    }
}

}  // namespace
