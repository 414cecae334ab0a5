// Linux: what the window program says when LogFile stops taking replies, and when it takes them again.
#pragma once

#include <string>

#include "net/raw_log.h"

// What has been said so far, and the shell's way to the desktop (none until the shell sets one; called
// with the line when stderr is no terminal, as when the program was started from a menu). Receiver
// thread only, once the shell has started it.
struct LogNotice {
    bool failing = false;  // the last datagram logged or not logged was not
    void (*notify_desktop)(const std::string& line) = nullptr;
};

extern LogNotice log_notice;

// The line to say after a datagram's outcome in the log in folder, or an empty one: a failure is said
// when it begins, not for every reply in between, and the log's recovery once. A receive that logs
// nothing (off) and a halted log (said when it halted) change nothing. Updates failing.
std::string log_notice_line(const LogOutcome& outcome, const std::string& folder, bool& failing);

// Says the line for outcome, if any, on stderr, and through notify_desktop when stderr is no terminal.
void tell_log_outcome(const LogOutcome& outcome);
