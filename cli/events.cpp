// Events on change in --monitor: the state between rounds, and the words and variables of an event.
#include "cli/events.h"

#include <map>

#include "cli/console_output.h"
#include "cli/text_report.h"

namespace {

EventKey key_of(const ServerLabels& labels)
{
    return EventKey{labels.family, labels.interface, labels.vlan, labels.server};
}

ProbeEvent event_of(EventKind kind, const ServerLabels& labels, const RoundRecord& record)
{
    return ProbeEvent{kind, labels, record.round, record.unix_ms, record.status};
}

}  // namespace

std::vector<ProbeEvent> next_events(EventState& state, const RoundRecord& record)
{
    std::vector<ProbeEvent> events;
    std::map<EventKey, const ServerLabels*> strangers;
    for (const ServerHeard& heard : record.heard)
        if (heard.labels.expected == "false" && heard.replies > 0)
            strangers.emplace(key_of(heard.labels), &heard.labels);
    for (auto it = state.strangers.begin(); it != state.strangers.end();) {
        if (strangers.count(*it) > 0) {
            ++it;
            continue;
        }
        events.push_back(event_of(EventKind::unexpected_server_gone,
                                  ServerLabels{it->family, it->interface, it->vlan, it->server, "", "false"}, record));
        it = state.strangers.erase(it);
    }
    for (const auto& [key, labels] : strangers) {
        if (state.strangers.count(key) > 0 || state.strangers.size() >= kMaxEventStrangers) continue;
        state.strangers.insert(key);
        events.push_back(event_of(EventKind::unexpected_server, *labels, record));
    }
    for (const ExpectedHeard& server : record.expected) {
        const EventKey key = key_of(server.labels);
        const bool was_silent = state.silent.count(key) > 0;
        if (!server.answered && !was_silent) {
            state.silent.insert(key);
            events.push_back(event_of(EventKind::expected_server_silent, server.labels, record));
        } else if (server.answered && was_silent) {
            state.silent.erase(key);
            events.push_back(event_of(EventKind::expected_server_back, server.labels, record));
        }
    }
    return events;
}

const char* event_word(EventKind kind)
{
    switch (kind) {
        case EventKind::unexpected_server: return "unexpected-server";
        case EventKind::unexpected_server_gone: return "unexpected-server-gone";
        case EventKind::expected_server_silent: return "expected-server-silent";
        case EventKind::expected_server_back: return "expected-server-back";
    }
    return "unknown";
}

std::vector<std::pair<std::string, std::string>> event_environment(const ProbeEvent& event)
{
    return {{"ORVANE_EVENT", event_word(event.kind)},      {"ORVANE_FAMILY", event.labels.family},
            {"ORVANE_INTERFACE", event.labels.interface},  {"ORVANE_VLAN", event.labels.vlan},
            {"ORVANE_SERVER", event.labels.server},        {"ORVANE_RELAY", event.labels.relay},
            {"ORVANE_EXPECTED", event.labels.expected},    {"ORVANE_ROUND", std::to_string(event.round)},
            {"ORVANE_TIME", utc_time_text(event.unix_ms)}, {"ORVANE_STATUS", std::to_string(event.status)}};
}

std::string event_line(const ProbeEvent& event)
{
    const ServerLabels& l = event.labels;
    return std::string("orvane-probe: event ") + event_word(event.kind) + " server=" + l.server +
           " family=" + l.family + " interface=" + terminal_text(l.interface) + " vlan=" + terminal_text(l.vlan) +
           " relay=" + l.relay + " expected=" + l.expected + " round=" + std::to_string(event.round) +
           " time=" + utc_time_text(event.unix_ms);
}
