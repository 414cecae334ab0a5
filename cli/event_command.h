// --on-change: the command run for each event, through the platform's shell, with the event in its
// environment; never waited on by the rounds. A seam per platform: event_command_linux.cpp, and
// event_command_win32.cpp where the option is refused.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cli/event_queue.h"
#include "cli/events.h"

// At most this many commands run at once; the events past it wait in the queue (cli/event_queue.h).
inline constexpr std::size_t kMaxRunningCommands = 8;
// A command still running after this long is killed, so that a hung one cannot hold a slot, and the events
// waiting behind it, for ever.
inline constexpr std::chrono::seconds kCommandTimeLimit{60};

struct RunningCommand {
    long long process = 0;
    std::string event;  // its event's word, for the line that reports a failure
    std::chrono::steady_clock::time_point started{};
    bool killed = false;  // over the time limit, and sent SIGKILL
};

struct EventCommands {
    std::string command;  // empty: none
    std::vector<RunningCommand> running;
    EventQueue queue;
    long long pushed_out_said = 0;  // of queue.pushed_out, how many have been said on stderr
};

// False where --on-change cannot work; the command line then refuses it.
bool event_commands_supported();

// Runs the command for the event (/bin/sh -c COMMAND), its stdin /dev/null, its stdout the probe's stderr (the
// probe's stdout is its report), or queues the event while kMaxRunningCommands run. Returns at once. A failure to
// start is said on stderr.
void start_event_command(EventCommands& commands, const ProbeEvent& event);

// Collects the commands that have ended, saying on stderr which ended with a failure, kills those over the time
// limit, and starts queued events in the slots freed; waits for the running ones up to wait_ms (0: not at all).
// Those still running after that are left to run.
void reap_event_commands(EventCommands& commands, int wait_ms);

// The end of the run: what is still queued is said on stderr and let go.
void drop_queued_event_commands(EventCommands& commands);
