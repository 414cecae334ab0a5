// orvane-probe: start-up, the rounds of requests and replies, the verdict.
#include "cli/probe.h"

#include <chrono>
#include <cstdio>

#include "cli/probe_session.h"
#include "cli/probe_startup.h"
#include "cli/verdict.h"

namespace {

std::chrono::steady_clock::duration seconds(double value)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(value));
}

}  // namespace

int run_probe(const ProbeOptions& options, const char* program_path, const std::atomic<int>& stop_request)
{
    SocketLibraryState library{};
    std::vector<ProbeSocket> sockets;
    const std::string failure = open_probe_sockets(options, library, sockets, program_path);
    if (!failure.empty()) {
        std::fprintf(stderr, "orvane-probe: %s\n", failure.c_str());
        return kExitStartupFailure;
    }

    ProbeSession session;
    begin_session(session, options, sockets, &stop_request);
    // At least kMinRoundSeconds, also when the wait is shorter; the pacer holds every send to it as well.
    const auto interval = seconds(round_interval(options));
    // Requests go out on a fixed beat from the start, so a slow round does not push the next ones back.
    auto round_start = session.started;
    for (long long k = 0; options.monitor || k < options.count; ++k) {
        if (run_cut_short(session)) break;
        if (k > 0 && options.monitor) report_round(session);
        if (!send_round(session)) break;
        const bool last = !options.monitor && k == options.count - 1;
        const auto deadline = round_start + (last ? seconds(options.wait_seconds) : interval);
        if (listen_until(session, deadline, options.quick && last)) break;
        round_start += interval;
    }
    if (options.monitor) report_round(session);
    return finish_session(session);
}
