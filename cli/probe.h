// orvane-probe: one discovery request, the replies' report on stdout, then a clean end.
#pragma once

struct ProbeOptions {
    double wait_seconds = 5.0;
};

// Reads the command line into options. Returns -1 to go on, or the exit status to end with
// at once (0 after --help, 2 for a bad command line, with CLI11's message printed).
int parse_probe_options(int argc, char** argv, ProbeOptions& options);

// Starts up, sends one request, reports replies until the wait ends or SIGINT/SIGTERM
// arrives, then stops the receiver. Returns the exit status: 0, or 1 when start-up failed.
int run_probe(const ProbeOptions& options, const char* program_path);
