// orvane-probe: start-up, the rounds of requests and replies, the verdict.
#pragma once

#include "cli/probe_options.h"

// Starts up as the options ask, runs the rounds until the last wait ends, --quick is satisfied or
// SIGINT/SIGTERM arrives, and reports. Returns the exit status: the verdict (0, 2 or 3), or 1 when
// start-up failed.
int run_probe(const ProbeOptions& options, const char* program_path);
