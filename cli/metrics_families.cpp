// The probe's metrics in Prometheus's form, and as its text format.
#include "cli/metrics_families.h"

#include <prometheus/text_serializer.h>

#include <sstream>

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

MetricFamily family_of(const char* name, const char* help, MetricType type)
{
    MetricFamily family;
    family.name = name;
    family.help = help;
    family.type = type;
    return family;
}

ClientMetric sample(MetricType type, double value, std::vector<ClientMetric::Label> labels = {})
{
    ClientMetric metric;
    metric.label = std::move(labels);
    if (type == MetricType::Counter)
        metric.counter.value = value;
    else
        metric.gauge.value = value;
    return metric;
}

std::vector<ClientMetric::Label> server_labels(const ServerLabels& labels)
{
    return {{"family", labels.family}, {"interface", labels.interface}, {"vlan", labels.vlan},
            {"server", labels.server}, {"relay", labels.relay},         {"expected", labels.expected}};
}

// A family of one sample without labels.
MetricFamily single(const char* name, const char* help, MetricType type, double value)
{
    MetricFamily family = family_of(name, help, type);
    family.metric.push_back(sample(type, value));
    return family;
}

}  // namespace

std::vector<MetricFamily> metric_families(const MetricsState& state)
{
    std::vector<MetricFamily> families;
    MetricFamily build =
        family_of("orvane_build_info", "The probe's build: its version in a label; always 1.", MetricType::Gauge);
    build.metric.push_back(sample(MetricType::Gauge, 1.0, {{"version", state.version}}));
    families.push_back(build);
    if (!state.any_round) return families;

    const auto gauge = MetricType::Gauge;
    const auto counter = MetricType::Counter;
    families.push_back(
        single("orvane_rounds_total", "Rounds of request and replies ended.", counter, state.rounds_total));
    families.push_back(single("orvane_round_success",
                              "1 when the last round's verdict was OK or WARNING: the expected servers answered "
                              "and only they (without --expect: something answered); else 0.",
                              gauge, round_succeeded(state.status) ? 1.0 : 0.0));
    families.push_back(single("orvane_round_status",
                              "The last round's verdict as a monitoring plugin's status: 0 OK, 1 WARNING, "
                              "2 CRITICAL.",
                              gauge, state.status));
    families.push_back(single("orvane_round_duration_seconds", "Seconds from the last round's request to its verdict.",
                              gauge, state.duration_seconds));
    families.push_back(single("orvane_round_interval_seconds", "Seconds from one round's request to the next.", gauge,
                              state.interval_seconds));
    families.push_back(single("orvane_last_round_timestamp_seconds",
                              "When the last round ended, in seconds since 1970 (UTC).", gauge,
                              state.timestamp_seconds));
    families.push_back(single("orvane_servers", "Servers that answered in the last round.", gauge, state.servers));
    families.push_back(single("orvane_unexpected_servers",
                              "Servers not named with --expect that answered in the last round.", gauge,
                              state.unexpected_servers));
    families.push_back(single("orvane_expected_servers_missing",
                              "Servers named with --expect that did not answer in the last round.", gauge,
                              state.expected_missing));
    families.push_back(single("orvane_not_dhcp_datagrams_total",
                              "Datagrams on port 68 that answered no request of the probe.", counter,
                              state.not_dhcp_total));
    families.push_back(single("orvane_over_limit_answers_total",
                              "Answers from servers past the limit a round keeps track of.", counter,
                              state.over_limit_total));
    families.push_back(single("orvane_server_series_dropped_total",
                              "Per-server series dropped, the ones heard longest ago, to stay within the limit.",
                              counter, state.series_dropped));
    families.push_back(single("orvane_server_series_retired_total",
                              "Per-server series forgotten because their server was not heard for the rounds "
                              "--metrics-retire gives.",
                              counter, state.series_retired));

    MetricFamily replies = family_of("orvane_server_replies_total",
                                     "Answers from the server over the run, by the way they came in.", counter);
    MetricFamily answered =
        family_of("orvane_server_answered", "1 when the server answered this way in the last round, else 0.", gauge);
    MetricFamily first_offer = family_of("orvane_server_first_offer_seconds",
                                         "Seconds from the last round's request to the server's first offer; "
                                         "only for servers that offered in it.",
                                         gauge);
    MetricFamily ethernet = family_of("orvane_server_ethernet_info",
                                      "The Ethernet address (and its vendor) a server's replies came from this way "
                                      "in the last round it answered, with --capture; always 1.",
                                      gauge);
    for (const auto& [labels, series] : state.series) {
        const auto label_set = server_labels(labels);
        replies.metric.push_back(sample(counter, series.replies_total, label_set));
        answered.metric.push_back(sample(gauge, series.answered ? 1.0 : 0.0, label_set));
        if (series.first_offer_seconds >= 0.0)
            first_offer.metric.push_back(sample(gauge, series.first_offer_seconds, label_set));
        for (const auto& [address, vendor] : series.ethernet) {
            auto identity = label_set;
            identity.push_back({"ethernet", address});
            identity.push_back({"vendor", vendor});
            ethernet.metric.push_back(sample(gauge, 1.0, identity));
        }
    }
    families.push_back(replies);
    families.push_back(answered);
    families.push_back(first_offer);
    if (state.captured) families.push_back(ethernet);
    if (state.kernel_drops >= 0.0)
        families.push_back(single("orvane_kernel_drops_total",
                                  "Datagrams or frames for the probe that the kernel dropped for want of room.",
                                  counter, state.kernel_drops));
    if (state.captured) {
        MetricFamily rejected = family_of("orvane_frames_rejected_total",
                                          "Captured frames that were no reply, by what was wrong with them.", counter);
        for (const auto& [kind, count] : state.frames_rejected)
            rejected.metric.push_back(sample(counter, static_cast<double>(count), {{"reason", kind}}));
        families.push_back(rejected);
    }

    MetricFamily expected =
        family_of("orvane_expected_server_answered",
                  "1 when the server named with --expect answered in the last round, else 0.", gauge);
    for (const ExpectedHeard& server : state.expected)
        expected.metric.push_back(sample(gauge, server.answered ? 1.0 : 0.0, server_labels(server.labels)));
    families.push_back(expected);
    return families;
}

std::string metrics_text(const std::vector<MetricFamily>& families)
{
    std::ostringstream out;
    prometheus::TextSerializer{}.Serialize(out, families);
    return out.str();
}
