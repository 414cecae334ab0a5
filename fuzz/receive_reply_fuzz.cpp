// libFuzzer target: raw bytes as datagrams through receive_reply on a loopback socket, then the
// report block. Checks the length returned, the buffer, the copies, LogFile's bytes and the lines.
#include <fcntl.h>
#include <sanitizer/asan_interface.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "net/network.h"
#include "net/raw_log.h"
#include "app/receiver_loop.h"
#include "protocol/reply_walk.h"
#include "app/report_output.h"

// The loop's output operations are not used here; the block is formatted directly.
void show_received_count(std::int32_t) {}
void append_report_line(const char*) {}

namespace {

constexpr Ipv4Address kLoopback{127, 0, 0, 1};
// UDP over IPv4 carries no more than this.
constexpr std::size_t kLargestDatagram = 65507;

Endpoint receiver = kNoEndpoint;
Endpoint sender = kNoEndpoint;
std::uint16_t receiver_port = 0;
std::string log_path;

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "receive_reply_fuzz: %s\n", what);
    std::abort();
}

Endpoint open_free_endpoint(std::uint16_t& port)
{
    for (std::uint16_t candidate = 48100; candidate < 48900; ++candidate) {
        const Endpoint endpoint = open_udp_endpoint(candidate);
        if (endpoint != kNoEndpoint) {
            port = candidate;
            return endpoint;
        }
    }
    return kNoEndpoint;
}

// A copy of the reply buffer whose bytes from offset 541 on are poisoned, so that a walk
// reading past 540 stops the run although the real buffer is 548 bytes long.
alignas(16) std::uint8_t guarded_storage[kDhcpMessageSize + 32];

ReplyBuffer& guarded_copy(const ReplyBuffer& buffer)
{
    std::size_t shift = 0;
    while ((reinterpret_cast<std::uintptr_t>(guarded_storage + shift) + 541) % 8 != 0) ++shift;
    ReplyBuffer* copy = reinterpret_cast<ReplyBuffer*>(guarded_storage + shift);
    __asan_unpoison_memory_region(guarded_storage, sizeof guarded_storage);
    std::memcpy(copy->data(), buffer.data(), buffer.size());
    __asan_poison_memory_region(copy->data() + 541, 8);
    return *copy;
}

std::vector<std::uint8_t> read_log()
{
    std::vector<std::uint8_t> bytes;
    const int fd = open(log_path.c_str(), O_RDONLY);
    if (fd < 0) return bytes;
    std::uint8_t chunk[4096];
    for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) bytes.insert(bytes.end(), chunk, chunk + got);
    close(fd);
    return bytes;
}

void receive_one(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> log_before = read_log();
    const ReplyBuffer buffer_before = app_state.reply_buffer;
    const ReplySummary summary_before = app_state.reply_summary;
    check(send_datagram(sender, data, size, kLoopback, receiver_port) == static_cast<int>(size), "send failed");

    const int length = receive_reply(receiver);

    const bool fits = size <= kDhcpMessageSize;
    check(length == (fits ? static_cast<int>(size) : -1), "wrong length returned");
    const std::size_t head = fits ? size : kDhcpMessageSize;
    check(std::memcmp(app_state.reply_buffer.data(), data, head) == 0, "buffer does not hold the datagram");
    check(std::memcmp(app_state.reply_buffer.data() + head, buffer_before.data() + head, kDhcpMessageSize - head) == 0,
          "bytes behind the datagram changed");
    for (std::size_t k = 0; k < 4; ++k) {
        check(app_state.reply_summary.offered_address[k] == app_state.reply_buffer[16 + k], "yiaddr not copied");
        check(app_state.reply_summary.relay_address[k] == app_state.reply_buffer[24 + k], "giaddr not copied");
    }
    ReplySummary again = summary_before;
    decode_reply(guarded_copy(app_state.reply_buffer), again);
    check(std::memcmp(&again, &app_state.reply_summary, sizeof again) == 0, "the walk is not repeatable");
    if (size == 0) {
        check(app_state.reply_summary.server_identifier == summary_before.server_identifier,
              "an empty datagram changed the server identifier");
    }

    std::vector<std::uint8_t> expected_log = log_before;
    if (fits) {
        for (std::size_t k = 0; k < size; ++k) {
            if (data[k] == 0x0A) expected_log.push_back(0x0D);
            expected_log.push_back(data[k]);
        }
    }
    check(read_log() == expected_log, "LogFile does not hold the text stream's bytes");

    const ReportPlan plan = plan_report(app_state.reply_summary);
    check(plan.count >= 2 && plan.count <= 4, "a block of the wrong size");
    ReportText text{};
    for (int k = 0; k < plan.count; ++k) {
        format_report_line(text, plan.lines[k], app_state.reply_summary);
        const std::size_t line_length = std::strlen(text.data());
        check(line_length >= 2 && line_length < 40, "a report line of odd length");
        check(text[line_length - 2] == '\r' && text[line_length - 1] == '\n', "a report line without CR LF");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // run.sh names a folder it removes afterwards; a bare run gets a folder of its own.
    const char* given = std::getenv("ORVANE_FUZZ_DIR");
    char folder[] = "/tmp/orvane-fuzz-XXXXXX";
    if (given == nullptr && mkdtemp(folder) == nullptr) std::abort();
    if (start_network() != 0) std::abort();
    log_path = std::string(given != nullptr ? given : folder) + "/LogFile";
    set_log_file_path(log_path.c_str());
    std::uint16_t sender_port = 0;
    receiver = open_free_endpoint(receiver_port);
    sender = open_free_endpoint(sender_port);
    if (receiver == kNoEndpoint || sender == kNoEndpoint) std::abort();
    return 0;
}

// The input is received whole, then its second half as a second, shorter datagram, which
// walks over the tail the first one left in the buffer.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > kLargestDatagram) return -1;
    app_state.reply_buffer = ReplyBuffer{};
    app_state.reply_summary = ReplySummary{};
    unlink(log_path.c_str());
    receive_one(data, size);
    receive_one(data + size / 2, size - size / 2);
    return 0;
}
