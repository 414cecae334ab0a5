// What one reply costs on its way through the probe's tally and judgement, with the replies coming from
// 1k, 10k and 100k distinct (forged) servers, against the same number of replies from one server, measured
// in the same run. A tally whose work grew with the servers it knows shows a ratio that grows with N; a
// hash-indexed, capped one keeps it near 1. Run by hand; not a timed test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "cli/reply_flags.h"
#include "cli/server_tally.h"
#include "cli/verdict.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::vector<ExpectedServer> kExpected{{{192, 168, 77, 1}}, {{10, 77, 0, 2}}};

ReplyRecord offer_from(const Ipv4Address& server)
{
    ReplyRecord reply;
    reply.interface = "eth0";
    reply.source.address = {192, 168, 77, 2};
    reply.source.port = 67;
    reply.length = 300;
    reply.datagram_length = 300;
    reply.answers = true;
    reply.fields.has_header = true;
    reply.fields.op = 2;
    reply.fields.offered_address = {192, 168, 77, 120};
    reply.fields.has_message_type = true;
    reply.fields.message_type = 2;
    reply.fields.has_server_identifier = true;
    reply.fields.server_identifier = server;
    return reply;
}

Ipv4Address forged(std::size_t n)
{
    return {10, static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

// Nanoseconds per reply for the whole path the probe runs per datagram: the run's and the round's tally, the
// reply's flags, and the --quick test; the round's verdict once at the end.
double per_reply_ns(const std::vector<ReplyRecord>& replies)
{
    const auto started = Clock::now();
    Tally run, round;
    std::size_t flagged = 0;
    for (const ReplyRecord& reply : replies) {
        tally_reply(run, reply, kExpected);
        tally_reply(round, reply, kExpected);
        const ReplyFlags flags = judge_reply(reply, run, kExpected);
        flagged += flags.unexpected_server ? 1 : 0;
        flagged += every_expected_answered(round, kExpected) ? 1 : 0;
    }
    const Verdict verdict = judge_tally(round, kExpected);
    const auto took = std::chrono::duration<double, std::nano>(Clock::now() - started).count();
    if (flagged == 0 || verdict.status < 0) std::puts("");  // keeps the work from being optimised away
    return took / static_cast<double>(replies.size());
}

// The least of a few runs, so that one preempted run does not decide.
double best_of(const std::vector<ReplyRecord>& replies, int runs)
{
    double best = per_reply_ns(replies);
    for (int k = 1; k < runs; ++k) best = std::min(best, per_reply_ns(replies));
    return best;
}

}  // namespace

int main()
{
    std::printf("tally + judgement per reply (kMaxServers %zu)\n", kMaxServers);
    std::printf("%8s %16s %14s %8s %10s\n", "replies", "distinct ns", "one-server ns", "ratio", "over limit");
    for (const std::size_t count : {std::size_t{1000}, std::size_t{10000}, std::size_t{100000}}) {
        std::vector<ReplyRecord> distinct, same;
        for (std::size_t n = 0; n < count; ++n) {
            distinct.push_back(offer_from(forged(n + 1)));
            same.push_back(offer_from(forged(1)));
        }
        const int runs = count >= 100000 ? 3 : 7;
        const double many = best_of(distinct, runs);
        const double one = best_of(same, runs);
        const std::size_t over = count > kMaxServers ? count - kMaxServers : 0;
        std::printf("%8zu %16.1f %14.1f %8.2f %10zu\n", count, many, one, many / one, over);
    }
    return 0;
}
