// The probe's metrics in Prometheus's form (prometheus-cpp's metric families), and as the text format
// that /metrics serves and node_exporter's textfile collector reads. Linux: prometheus-cpp is Debian's.
#pragma once

#include <prometheus/metric_family.h>

#include <string>
#include <vector>

#include "cli/metrics_state.h"

// Every family of the state: names with the prefix orvane_, base units, _total on counters only, the
// per-server ones labelled family, interface, vlan, server, relay and expected. Before the first round,
// only the build's identity. Pure.
std::vector<prometheus::MetricFamily> metric_families(const MetricsState& state);

// The families as Prometheus's text format.
std::string metrics_text(const std::vector<prometheus::MetricFamily>& families);
