// Giving up what start-up needed: after both ports are bound, nothing else needs privileges.
#pragma once

#include <string>

// Drops every capability the process holds. True when none is left; false, with errno saying
// why, when the system refused.
bool drop_privileges();

// How a user of this platform gets the right to bind ports below 1024, for program_path.
std::string privileged_port_hint(const char* program_path);
