// The pace of requests: no interface ever gets two DISCOVERs less than the floor apart.
#include "cli/send_pacer.h"

PacerClock::time_point next_send_allowed(const SendPacer& pacer, const std::string& interface)
{
    for (const SendPacer::Last& last : pacer.sends)
        if (last.interface == interface) return last.at + kMinSendGap;
    return PacerClock::time_point::min();
}

void note_send(SendPacer& pacer, const std::string& interface, PacerClock::time_point at)
{
    for (SendPacer::Last& last : pacer.sends) {
        if (last.interface == interface) {
            last.at = at;
            return;
        }
    }
    pacer.sends.push_back({interface, at});
}
