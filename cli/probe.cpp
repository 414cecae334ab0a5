// orvane-probe: start-up, the rounds of requests and replies, the verdict.
#include "cli/probe.h"

#include <chrono>
#include <csignal>
#include <cstdio>

#include "cli/probe_session.h"
#include "cli/probe_startup.h"
#include "cli/verdict.h"
#include "discovery/raw_log.h"

namespace {

extern "C" void on_stop_signal(int)
{
    request_probe_stop();
}

std::chrono::steady_clock::duration seconds(double value)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(value));
}

}  // namespace

int run_probe(const ProbeOptions& options, const char* program_path)
{
    set_log_file_path(options.no_log ? nullptr : options.log_path.c_str());
    std::vector<ProbeSocket> sockets;
    const std::string failure = open_probe_sockets(options, sockets, program_path);
    if (!failure.empty()) {
        std::fprintf(stderr, "orvane-probe: %s\n", failure.c_str());
        return kExitStartupFailure;
    }
    clear_probe_stop();
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);

    ProbeSession session;
    begin_session(session, options, sockets);
    const double interval = round_interval(options);
    // Requests go out on a fixed beat from the start, so a slow round does not push the next ones back.
    for (long long k = 0; options.monitor || k < options.count; ++k) {
        if (probe_stop_requested()) break;
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
