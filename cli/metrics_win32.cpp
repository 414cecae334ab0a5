// Windows: no metrics outlets (prometheus-cpp is not available there); the command line refuses the
// metrics options, so nothing here is ever asked to open one.
#include "cli/metrics.h"

struct MetricsOutlet {};

void MetricsOutletDeleter::operator()(MetricsOutlet* outlet) const
{
    delete outlet;
}

bool exposer_has_ipv6()
{
    return false;
}

bool metrics_supported()
{
    return false;
}

std::string open_metrics(const ProbeOptions& options, MetricsOutletPtr& outlet)
{
    outlet.reset();
    if (options.metrics_listen.empty() && options.metrics_file.empty()) return {};
    return "metrics are not available on this platform";
}

void publish_metrics(MetricsOutlet&, const RoundRecord&) {}

std::vector<int> metrics_listening_ports(const MetricsOutlet&)
{
    return {};
}
