// The probe's metrics outlets: /metrics served by prometheus-cpp's pull exposer (--metrics-listen) and
// the node_exporter textfile (--metrics-file), both fed once per round. A seam per platform:
// metrics_linux.cpp, and metrics_win32.cpp where prometheus-cpp is not available.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/probe_options.h"
#include "cli/round_record.h"

struct MetricsOutlet;
struct MetricsOutletDeleter {
    void operator()(MetricsOutlet* outlet) const;
};
using MetricsOutletPtr = std::unique_ptr<MetricsOutlet, MetricsOutletDeleter>;

// False where the metrics options cannot work; the command line then refuses them.
bool metrics_supported();

// Whether the exposer can listen on an IPv6 address: Debian's civetweb, which prometheus-cpp serves
// through, is built without IPv6, and an [IPv6]:port is then refused at start with that reason.
bool exposer_has_ipv6();

// Opens what the options ask for (nothing when they ask for none: outlet stays empty). Called after the
// privileges are dropped: the exposer needs none. Returns an empty string, or the line that says what
// failed (the probe then ends as UNKNOWN).
std::string open_metrics(const ProbeOptions& options, MetricsOutletPtr& outlet);

// The round's figures, swapped in whole for the next scrape, and the textfile written anew. A textfile
// that cannot be written is said once on stderr, and once more when it can be written again.
void publish_metrics(MetricsOutlet& outlet, const RoundRecord& record);

// The ports the exposer listens on (for --metrics-listen with port numbers picked by the system, as tests do);
// empty without an exposer.
std::vector<int> metrics_listening_ports(const MetricsOutlet& outlet);
