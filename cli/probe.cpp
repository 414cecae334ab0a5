// orvane-probe: one discovery request, the replies' report on stdout, then a clean end.
#include "cli/probe.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "app/startup.h"
#include "cli/console_output.h"
#include "common/app_state.h"
#include "discovery/discovery_request.h"
#include "discovery/network.h"
#include "discovery/receiver_loop.h"

namespace {

// Set from a signal handler (on Windows from the runtime's own thread), so lock-free.
std::atomic<int> stop_requested{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void on_stop_signal(int)
{
    stop_requested.store(1);
}

void wait_for_end(double seconds)
{
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    // Polled, so the same code serves POSIX signals and the Windows console's Ctrl-C thread.
    while (stop_requested.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace

int parse_probe_options(int argc, char** argv, ProbeOptions& options)
{
    CLI::App app{"Sends one DHCP DISCOVER and reports every reply on UDP port 68.", "orvane-probe"};
    app.add_option("--wait", options.wait_seconds, "Seconds to listen for replies before ending")
        ->type_name("SECONDS")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // CLI11 prints the help or the complaint; a refused command line ends with the usual 2.
        return app.exit(error) == 0 ? 0 : 2;
    }
    return -1;
}

int run_probe(const ProbeOptions& options, const char* program_path)
{
    const StartupOutcome outcome = start_up();
    if (outcome.failed_step != StartupStep::none) {
        std::fprintf(stderr, "orvane-probe: %s\n", startup_failure_message(outcome, program_path).c_str());
        return 1;
    }
    stop_requested.store(0);
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);

    if (send_discovery(app_state.request_endpoint) < 0)
        std::fprintf(stderr, "orvane-probe: the request was not sent: %s\n",
                     network_error_text(last_network_error()).c_str());
    app_state.sent_count += 1;
    std::fprintf(stderr, "Packets Sent: %d\n", static_cast<int>(app_state.sent_count));

    open_console_output();
    app_state.stop_flag.store(0);
    std::thread receiver(receiver_loop);
    wait_for_end(options.wait_seconds);

    // As the window does at close: the flag first, then the shutdown that breaks off the
    // pending receive. The console is closed before, so the receive broken off is not shown.
    close_console_output();
    app_state.stop_flag.store(1);
    stop_network();
    receiver.join();
    return 0;
}
