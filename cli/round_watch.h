// What the probe does with each round beyond its report: the metrics outlets and, in --monitor, the
// events on change with their --on-change command.
#pragma once

#include <chrono>
#include <string>

#include "cli/event_command.h"
#include "cli/events.h"
#include "cli/metrics.h"
#include "cli/probe_options.h"
#include "cli/round_record.h"

struct RoundWatch {
    MetricsOutletPtr metrics;  // empty when no metrics option was given
    bool events = false;       // --monitor
    EventState event_state;
    EventCommands commands;
    std::chrono::steady_clock::time_point last_tended{};
};

// Opens what the options ask for. Returns an empty string, or the line that says what failed.
std::string open_round_watch(RoundWatch& watch, const ProbeOptions& options);

// The round goes to the metrics, and in --monitor its events to stderr and the command. Returns the events, which
// the JSON report also writes.
std::vector<ProbeEvent> watch_round(RoundWatch& watch, const RoundRecord& record);

// Between rounds: commands that ended are collected, and queued events take the slots they freed.
void tend_round_watch(RoundWatch& watch);

// The end of the run: commands still running are waited for a short while, then left; queued events are
// said and let go.
void close_round_watch(RoundWatch& watch);
