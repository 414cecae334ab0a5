// The pace of requests: no interface ever gets two DISCOVERs less than the floor apart, whatever mode
// (rounds, monitor, or any later one) asks for them. The send loop asks before every send.
#pragma once

#include <chrono>
#include <string>
#include <vector>

using PacerClock = std::chrono::steady_clock;

// The least time between two DISCOVERs through one interface.
inline constexpr std::chrono::milliseconds kMinSendGap{1000};

// The last send through each interface ("" names the sockets tied to none).
struct SendPacer {
    struct Last {
        std::string interface;
        PacerClock::time_point at{};
    };
    std::vector<Last> sends;  // one per interface the probe has sockets on: a handful
};

// The earliest time a DISCOVER may leave through interface; a time in the past when it may go now. Pure.
PacerClock::time_point next_send_allowed(const SendPacer& pacer, const std::string& interface);

// Notes a DISCOVER sent through interface at the time given. Pure.
void note_send(SendPacer& pacer, const std::string& interface, PacerClock::time_point at);
