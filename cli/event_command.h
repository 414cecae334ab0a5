// --on-change: the command run for each event, through the platform's shell, with the event in its
// environment; never waited on by the rounds. A seam per platform: event_command_linux.cpp, and
// event_command_win32.cpp where the option is refused.
#pragma once

#include <string>
#include <vector>

#include "cli/events.h"

// At most this many commands run at once; an event past it runs none, and says so.
inline constexpr std::size_t kMaxRunningCommands = 8;

struct RunningCommand {
    long long process = 0;
    std::string event;  // its event's word, for the line that reports a failure
};

struct EventCommands {
    std::string command;  // empty: none
    std::vector<RunningCommand> running;
};

// False where --on-change cannot work; the command line then refuses it.
bool event_commands_supported();

// Starts the command for the event (/bin/sh -c COMMAND), its stdin /dev/null, its stdout the probe's
// stderr (the probe's stdout is its report), and returns at once. A failure to start is said on stderr.
void start_event_command(EventCommands& commands, const ProbeEvent& event);

// Collects the commands that have ended, saying on stderr which ended with a failure; waits for the rest
// up to wait_ms (0: not at all). Those still running after that are left to run.
void reap_event_commands(EventCommands& commands, int wait_ms);
