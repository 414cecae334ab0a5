// A paced flood of 100,000 loopback datagrams through the receiver loop: every one must be
// counted, LogFile must grow by exactly their translated bytes, and memory must stay flat.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "app/receiver_loop.h"
#include "app/report_output.h"
#include "bench_support.h"
#include "net/network.h"
#include "net/raw_log.h"

namespace {

std::atomic<std::int32_t> shown_count{0};
std::atomic<std::int64_t> shown_lines{0};

long max_rss_kib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long current_rss_kib()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long long file_size(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

// Sends count datagrams, never more than window ahead of what the loop has shown, so the
// socket's queue never overflows and nothing is dropped.
void send_paced(const LoopbackPair& pair, const std::vector<std::uint8_t>& datagram, std::int32_t first_count,
                std::int32_t count, std::int32_t window)
{
    for (std::int32_t sent = 0; sent < count; ++sent) {
        while (sent - (shown_count.load() - first_count) >= window) std::this_thread::yield();
        send_to(pair, datagram);
    }
}

bool wait_for_count(std::int32_t count, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (shown_count.load() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

void show_received_count(std::int32_t count)
{
    shown_count.store(count);
}

void append_report_line(const char*)
{
    shown_lines.fetch_add(1);
}

int main(int argc, char** argv)
{
    const std::int32_t flood = argc > 1 ? std::atoi(argv[1]) : 100000;
    constexpr std::int32_t kWarmUp = 1000;
    constexpr std::int32_t kWindow = 64;

    const LoopbackPair pair = open_loopback_pair();
    const std::string log_path = scratch_log_path();
    const std::vector<std::uint8_t> offer = sample_offer();
    long long translated = 0;
    for (const std::uint8_t byte : offer) translated += byte == 0x0A ? 2 : 1;

    app_state.reply_endpoint = pair.receiver;
    app_state.stop_flag.store(0);
    std::thread receiver(receiver_loop);

    send_paced(pair, offer, 0, kWarmUp, kWindow);
    bool complete = wait_for_count(kWarmUp, 30);
    const long max_before = max_rss_kib();
    const long rss_before = current_rss_kib();

    const auto start = std::chrono::steady_clock::now();
    send_paced(pair, offer, kWarmUp, flood, kWindow);
    complete = complete && wait_for_count(kWarmUp + flood, 60);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long max_after = max_rss_kib();
    const long rss_after = current_rss_kib();
    const std::int32_t counted = shown_count.load() - kWarmUp;
    const long long logged = file_size(log_path);

    app_state.stop_flag.store(1);
    stop_network();
    receiver.join();
    close_loopback_pair(pair);
    remove_scratch_log(log_path);

    const long long expected_log = translated * (kWarmUp + flood);
    std::printf("flood: %d datagrams of %zu bytes sent, %d counted, %.2f s, %.0f datagrams/s\n", flood, offer.size(),
                counted, seconds, flood / seconds);
    std::printf("flood: LogFile %lld bytes, expected %lld\n", logged, expected_log);
    std::printf("flood: max RSS %ld KiB before, %ld KiB after; current RSS %ld KiB before, %ld KiB after\n", max_before,
                max_after, rss_before, rss_after);
    const bool flat = max_after - max_before <= 1024;
    const bool exact = complete && counted == flood && logged == expected_log &&
                       shown_lines.load() >= static_cast<std::int64_t>(kWarmUp + flood) * 3;
    std::printf("flood: %s, memory %s\n", exact ? "counted exactly" : "COUNT MISMATCH", flat ? "flat" : "GREW");
    return exact && flat ? 0 : 1;
}
