// Entry of orvane-probe, the console front end.
#include "cli/probe.h"

int main(int argc, char** argv)
{
    ProbeOptions options;
    const int early_status = parse_probe_options(argc, argv, options);
    if (early_status >= 0) return early_status;
    return run_probe(options, argv[0]);
}
