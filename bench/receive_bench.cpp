// What a datagram costs on its way through receive_reply with the log and the report lines,
// against a bare recvfrom loop on the same kind of loopback socket; and decode plus format alone.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "app/exchange.h"
#include "app/receiver_loop.h"
#include "app/report_output.h"
#include "bench_support.h"
#include "net/raw_log.h"
#include "protocol/report_lines.h"

namespace {
// receiver_loop itself is timed: the null window sets the stop flag at the batch's last
// datagram, so the loop returns after reporting it, without another receive.
std::int32_t stop_at_count = 0;
}  // namespace

// A null window: the lines are formatted, handed over and dropped.
void show_received_count(std::int32_t count)
{
    benchmark::DoNotOptimize(count);
    if (count == stop_at_count) app_state.stop_flag.store(1);
}
void append_report_line(const char* text)
{
    benchmark::DoNotOptimize(text);
}

namespace {

// Datagrams are queued in batches outside the timed part, so only the receiving side is measured.
constexpr int kBatch = 64;

struct Fixture {
    Fixture() : pair(open_loopback_pair()), offer(sample_offer()), log_path(scratch_log_path()) {}
    ~Fixture()
    {
        close_loopback_pair(pair);
        remove_scratch_log(log_path);
    }
    void queue_batch(benchmark::State& state)
    {
        state.PauseTiming();
        // Keep the log small; truncating is outside the timed part.
        truncate(log_path.c_str(), 0);
        for (int k = 0; k < kBatch; ++k) send_to(pair, offer);
        state.ResumeTiming();
    }
    LoopbackPair pair;
    std::vector<std::uint8_t> offer;
    std::string log_path;
};

void BM_BareRecvfrom(benchmark::State& state)
{
    Fixture fixture;
    const int fd = static_cast<int>(fixture.pair.receiver);
    std::uint8_t buffer[kDhcpMessageSize];
    for (auto _ : state) {
        fixture.queue_batch(state);
        for (int k = 0; k < kBatch; ++k) {
            sockaddr_storage sender{};
            socklen_t length = sizeof sender;
            benchmark::DoNotOptimize(
                recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_BareRecvfrom);

// The least any log can cost: recvfrom, then open, one write and close of the raw bytes.
void BM_RecvfromOpenWriteClose(benchmark::State& state)
{
    Fixture fixture;
    const int fd = static_cast<int>(fixture.pair.receiver);
    std::uint8_t buffer[kDhcpMessageSize];
    for (auto _ : state) {
        fixture.queue_batch(state);
        for (int k = 0; k < kBatch; ++k) {
            sockaddr_storage sender{};
            socklen_t length = sizeof sender;
            const ssize_t got = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
            const int log = open(fixture.log_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
            benchmark::DoNotOptimize(write(log, buffer, static_cast<std::size_t>(got)));
            close(log);
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_RecvfromOpenWriteClose);

void BM_ReceiverLoopLoggedAndReported(benchmark::State& state)
{
    Fixture fixture;
    reset_app_state();
    app_state.reply_endpoint = fixture.pair.receiver;
    for (auto _ : state) {
        fixture.queue_batch(state);
        stop_at_count = app_state.received_count + kBatch;
        app_state.stop_flag.store(0);
        receiver_loop();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ReceiverLoopLoggedAndReported);

void BM_DecodeAndFormat(benchmark::State& state)
{
    const std::vector<std::uint8_t> offer = sample_offer();
    ReplyBuffer buffer{};
    std::copy(offer.begin(), offer.end(), buffer.begin());
    ReplySummary summary{};
    ReportText text{};
    for (auto _ : state) {
        decode_reply(buffer, summary);
        const ReportPlan plan = plan_report(summary);
        for (int k = 0; k < plan.count; ++k) {
            format_report_line(text, plan.lines[k], summary);
            benchmark::DoNotOptimize(text.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeAndFormat);

// Passes every run to the console and keeps each one's datagrams per second for the ratios.
class RateKeeper : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto found = run.counters.find("items_per_second");
            if (found != run.counters.end()) rates[run.benchmark_name()] = found->second.value;
        }
    }
    std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RateKeeper keeper;
    benchmark::RunSpecifiedBenchmarks(&keeper);
    // With --benchmark_repetitions the median stands for each benchmark.
    const auto rate = [&](const std::string& name) {
        if (keeper.rates.count(name + "_median")) return keeper.rates[name + "_median"];
        return keeper.rates.count(name) ? keeper.rates[name] : 0.0;
    };
    const double bare = rate("BM_BareRecvfrom");
    const double floor = rate("BM_RecvfromOpenWriteClose");
    const double full = rate("BM_ReceiverLoopLoggedAndReported");
    if (bare > 0 && floor > 0 && full > 0) {
        std::printf(
            "\ndatagrams per second: bare recvfrom %.0f, recvfrom+open/write/close %.0f, "
            "receiver_loop (receive_reply+log+report) %.0f\n",
            bare, floor, full);
        std::printf("ratio receive_reply path / bare recvfrom: %.3f\n", full / bare);
        std::printf("ratio receive_reply path / recvfrom+open/write/close: %.3f\n", full / floor);
    }
    const double decode = rate("BM_DecodeAndFormat");
    if (decode > 0) std::printf("decode + format: %.1f ns per datagram\n", 1e9 / decode);
    benchmark::Shutdown();
    return 0;
}
