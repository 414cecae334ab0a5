// orvane-probe: start-up, the rounds of requests and replies, the verdict.
#pragma once

#include <atomic>

#include "cli/probe_options.h"

// Starts up as the options ask, runs the rounds until the last wait ends, --quick is satisfied or
// stop_request is set (by SIGINT/SIGTERM) or standard output fails, and reports. Returns the exit status: the
// verdict (0 to 2), or 3 when start-up or standard output failed (cli/verdict.h names them).
int run_probe(const ProbeOptions& options, const char* program_path, const std::atomic<int>& stop_request);
