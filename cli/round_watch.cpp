// What the probe does with each round beyond its report: metrics, events and their command.
#include "cli/round_watch.h"

#include <cstdio>

#include "cli/console_output.h"

namespace {

// The most the end of a run waits for --on-change commands, well inside the second a stop may take.
constexpr int kCommandWaitAtEndMs = 300;

}  // namespace

std::string open_round_watch(RoundWatch& watch, const ProbeOptions& options)
{
    watch.events = options.monitor;
    watch.commands.command = options.on_change;
    return open_metrics(options, watch.metrics);
}

void watch_round(RoundWatch& watch, const RoundRecord& record)
{
    if (watch.metrics) publish_metrics(*watch.metrics, record);
    if (!watch.events) return;
    const std::vector<ProbeEvent> events = next_events(watch.event_state, record);
    int shown = 0;
    for (const ProbeEvent& event : events) {
        if (shown++ < kMaxEventLinesPerRound) {
            print_line(stderr, event_line(event));
            start_event_command(watch.commands, event);
        }
    }
    if (shown > kMaxEventLinesPerRound)
        print_line(stderr, "orvane-probe: " + std::to_string(shown - kMaxEventLinesPerRound) +
                               " more events in round " + std::to_string(record.round) + " were neither shown nor run");
    reap_event_commands(watch.commands, 0);
}

void close_round_watch(RoundWatch& watch)
{
    reap_event_commands(watch.commands, kCommandWaitAtEndMs);
}
