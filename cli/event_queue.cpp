// The events waiting for their --on-change command.
#include "cli/event_queue.h"

void queue_event(EventQueue& queue, const ProbeEvent& event)
{
    if (allow_list_event(event.kind)) {
        queue.allow_list.push_back(event);
        return;
    }
    if (queue.strangers.size() >= kMaxQueuedStrangerEvents) {
        queue.strangers.pop_front();
        queue.pushed_out += 1;
    }
    queue.strangers.push_back(event);
}

bool take_queued_event(EventQueue& queue, ProbeEvent& event)
{
    std::deque<ProbeEvent>& from = queue.allow_list.empty() ? queue.strangers : queue.allow_list;
    if (from.empty()) return false;
    event = std::move(from.front());
    from.pop_front();
    return true;
}

std::size_t queued_events(const EventQueue& queue)
{
    return queue.allow_list.size() + queue.strangers.size();
}
