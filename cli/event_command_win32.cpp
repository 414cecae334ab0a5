// Windows: no --on-change (the command line refuses it); events are still said on stderr.
#include "cli/event_command.h"

bool event_commands_supported()
{
    return false;
}

void start_event_command(EventCommands&, const ProbeEvent&) {}

void reap_event_commands(EventCommands&, int) {}

void drop_queued_event_commands(EventCommands&) {}
