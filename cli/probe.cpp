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
    const double interval = round_interval(options);
    // Requests go out on a fixed beat from the start, so a slow round does not push the next ones back.
    for (long long k = 0; options.monitor || k < options.count; ++k) {
        if (stop_requested(session)) break;
        if (k > 0 && options.monitor) report_round(session);
        send_round(session);
        const bool last = !options.monitor && k == options.count - 1;
        const auto round_start = session.started + seconds(interval * static_cast<double>(k));
        const auto deadline = round_start + seconds(last ? options.wait_seconds : interval);
        if (listen_until(session, deadline, options.quick && last)) break;
    }
    if (options.monitor) report_round(session);
    return finish_session(session);
}
