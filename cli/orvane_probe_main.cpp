// Entry of orvane-probe, the console front end: the command line, the stop signals, the run.
#include <atomic>
#include <csignal>

#include "cli/probe.h"
#include "cli/verdict.h"
#include "host/standard_descriptors.h"

namespace {

// The one process-wide flag: a signal handler can reach nothing else. Lock-free, so the handler may
// store to it (on Windows the runtime calls the handler on a thread of its own).
std::atomic<int> stop_request{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void on_stop_signal(int)
{
    stop_request.store(1);
}

}  // namespace

int main(int argc, char** argv)
{
    // Before anything is opened: a closed stdout must not be taken by the port-67 socket.
    if (!make_standard_descriptors_valid()) return kExitStartupFailure;
#ifdef SIGPIPE
    // A closed pipe on stdout is a write error that ends the run with its own status and the summary on
    // stderr, not a silent death (nor, where a supervisor ignores SIGPIPE, a probe broadcasting for ever).
    std::signal(SIGPIPE, SIG_IGN);
#endif
    ProbeOptions options;
    const int early_status = parse_probe_options(argc, argv, options);
    if (early_status >= 0) return early_status;
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
    return run_probe(options, argv[0], stop_request);
}
