// orvane-probe: start-up, the rounds of requests and replies, the verdict.
#include "cli/probe.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "cli/console_output.h"
#include "cli/ipv6_round.h"
#include "cli/nagios_report.h"
#include "cli/probe_session.h"
#include "cli/probe_startup.h"
#include "cli/verdict.h"
#include "host/privileges.h"

namespace {

std::chrono::steady_clock::duration seconds(double value)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(value));
}

// Said on stderr, and for a monitoring engine, which shows only stdout, as its status line too.
int startup_failure(const ProbeOptions& options, const std::string& failure)
{
    std::fprintf(stderr, "orvane-probe: %s\n", failure.c_str());
    if (options.format == OutputFormat::nagios) print_line(stdout, nagios_unknown_line(failure));
    return kExitStartupFailure;
}

}  // namespace

int run_probe(const ProbeOptions& options, const char* program_path, const std::atomic<int>& stop_request)
{
    SocketLibraryState library{};
    std::vector<ProbeSocket> sockets;
    std::vector<Ipv6Socket> sockets6;
    // The IPv6 sockets first: the IPv4 start-up ends by dropping every privilege.
    std::string failure = options.ipv6 ? open_ipv6_sockets(options, library, sockets6, program_path) : std::string();
    if (failure.empty() && options.ipv4) failure = open_probe_sockets(options, library, sockets, program_path);
    // Untrusted bytes are read from here on: nothing more needs a privilege, and none may stay.
    if (failure.empty() && !options.ipv4 && !drop_privileges())
        failure = std::string("cannot drop privileges: ") + std::strerror(errno);
    if (!failure.empty()) return startup_failure(options, failure);

    ProbeSession session;
    begin_session(session, options, sockets, &stop_request, sockets6);
    // After the privileges are dropped: the metrics' listening socket needs none.
    if (const std::string watch_failure = open_round_watch(session.watch, options); !watch_failure.empty())
        return startup_failure(options, watch_failure);
    // At least kMinRoundSeconds, also when the wait is shorter; the pacer holds every send to it as well.
    const auto interval = seconds(round_interval(options));
    // Requests go out on a fixed beat from the start, so a slow round does not push the next ones back.
    auto round_start = session.started;
    for (long long k = 0; options.monitor || k < options.count; ++k) {
        if (run_cut_short(session)) break;
        if (k > 0) end_round(session);
        if (!send_round(session)) break;
        const bool last = !options.monitor && k == options.count - 1;
        const auto deadline = round_start + (last ? seconds(options.wait_seconds) : interval);
        if (listen_until(session, deadline, options.quick && last)) {
            session.ended_early = true;
            break;
        }
        round_start += interval;
    }
    end_round(session);
    return finish_session(session);
}
