// What the probe does with each round beyond its report: metrics, events and their command.
#include "cli/round_watch.h"

#include <chrono>
#include <cstdio>

#include "cli/console_output.h"

namespace {

// The most the end of a run waits for --on-change commands, well inside the second a stop may take.
constexpr int kCommandWaitAtEndMs = 300;
constexpr std::chrono::milliseconds kTendEvery{100};

}  // namespace

std::string open_round_watch(RoundWatch& watch, const ProbeOptions& options)
{
    watch.events = options.monitor;
    watch.commands.command = options.on_change;
    return open_metrics(options, watch.metrics);
}

std::vector<ProbeEvent> watch_round(RoundWatch& watch, const RoundRecord& record)
{
    if (watch.metrics) publish_metrics(*watch.metrics, record);
    if (!watch.events) return {};
    // Every event is said and runs its command, now or from the queue: next_events already keeps a forging LAN's
    // strangers to a few events a round.
    std::vector<ProbeEvent> events = next_events(watch.event_state, record);
    for (const ProbeEvent& event : events) {
        print_line(stderr, event_line(event));
        start_event_command(watch.commands, event);
    }
    reap_event_commands(watch.commands, 0);
    return events;
}

void tend_round_watch(RoundWatch& watch)
{
    if (watch.commands.running.empty() && queued_events(watch.commands.queue) == 0) return;
    // A flood of datagrams wakes the rounds thousands of times a second; the commands need a look far less often.
    const auto now = std::chrono::steady_clock::now();
    if (now - watch.last_tended < kTendEvery) return;
    watch.last_tended = now;
    reap_event_commands(watch.commands, 0);
}

void close_round_watch(RoundWatch& watch)
{
    reap_event_commands(watch.commands, kCommandWaitAtEndMs);
    drop_queued_event_commands(watch.commands);
}
