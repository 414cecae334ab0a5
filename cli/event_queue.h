// The events waiting for their --on-change command while every slot is taken: the allow-list's ahead of the
// strangers', each kind in the order it came. Pure.
#pragma once

#include <cstddef>
#include <deque>

#include "cli/events.h"

// Strangers' events past this many in the queue push out the oldest of them; a LAN that forges servers fills the
// queue with nothing else. The allow-list's events are never pushed out: at most two per expected server come in
// a round, and the commands' time limit keeps the queue moving.
inline constexpr std::size_t kMaxQueuedStrangerEvents = 256;

struct EventQueue {
    std::deque<ProbeEvent> allow_list;
    std::deque<ProbeEvent> strangers;
    long long pushed_out = 0;  // strangers' events that never ran
};

void queue_event(EventQueue& queue, const ProbeEvent& event);

// The next event to run a command for, taken off the queue: the oldest of the allow-list's, else the oldest
// stranger's. False when none waits.
bool take_queued_event(EventQueue& queue, ProbeEvent& event);

std::size_t queued_events(const EventQueue& queue);
