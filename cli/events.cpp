// Events on change in --monitor: the state between rounds, and the words and variables of an event.
#include "cli/events.h"

#include <cstdint>
#include <map>

#include <nlohmann/json.hpp>

#include "cli/console_output.h"
#include "cli/text_report.h"

namespace {

EventKey key_of(const ServerLabels& labels)
{
    return EventKey{labels.family, labels.interface, labels.vlan, labels.server};
}

ProbeEvent event_of(EventKind kind, const ServerLabels& labels, const RoundRecord& record)
{
    return ProbeEvent{kind, labels, record.round, record.unix_ms, record.status, 0, {}, {}};
}

// One environment string holds at most 128 KiB on Linux; the names stop well before that.
constexpr std::size_t kMaxServersVariable = 100000;

// Names joined by separator, as many as fit in limit bytes.
std::string names_text(const std::vector<std::string>& names, const char* separator, std::size_t limit = SIZE_MAX)
{
    std::string text;
    for (const std::string& name : names) {
        if (text.size() + name.size() + 1 > limit) break;
        text += (text.empty() ? "" : separator) + name;
    }
    return text;
}

// The allow-list's events of a round, moving the state on.
void allow_list_events(EventState& state, const RoundRecord& record, std::vector<ProbeEvent>& events)
{
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
}

// The strangers' events past the first kMaxStrangerEvents, folded into the last of the list.
void fold_stranger_events(std::vector<ProbeEvent>& events, std::size_t first, const RoundRecord& record)
{
    if (events.size() - first <= kMaxStrangerEvents) return;
    ProbeEvent folded = event_of(EventKind::unexpected_servers_folded, ServerLabels{}, record);
    for (std::size_t k = first + kMaxStrangerEvents; k < events.size(); ++k) {
        folded.folded += 1;
        std::vector<std::string>& names =
            events[k].kind == EventKind::unexpected_server ? folded.folded_servers : folded.folded_gone;
        if (names.size() < kMaxFoldedNames) names.push_back(events[k].labels.server);
    }
    events.resize(first + kMaxStrangerEvents);
    events.push_back(std::move(folded));
}

}  // namespace

bool allow_list_event(EventKind kind)
{
    return kind == EventKind::expected_server_silent || kind == EventKind::expected_server_back;
}

std::vector<ProbeEvent> next_events(EventState& state, const RoundRecord& record)
{
    std::vector<ProbeEvent> events;
    allow_list_events(state, record, events);
    const std::size_t first_stranger = events.size();
    std::map<EventKey, const ServerLabels*> strangers;
    for (const ServerHeard& heard : record.heard)
        if (heard.labels.expected == "false" && heard.replies > 0)
            strangers.emplace(key_of(heard.labels), &heard.labels);
    // The strangers that left make room first; their events follow the new strangers', which matter more.
    std::vector<ProbeEvent> gone;
    for (auto it = state.strangers.begin(); it != state.strangers.end();) {
        if (strangers.count(*it) > 0) {
            ++it;
            continue;
        }
        gone.push_back(event_of(EventKind::unexpected_server_gone,
                                ServerLabels{it->family, it->interface, it->vlan, it->server, "", "false"}, record));
        it = state.strangers.erase(it);
    }
    for (const auto& [key, labels] : strangers) {
        if (state.strangers.count(key) > 0 || state.strangers.size() >= kMaxEventStrangers) continue;
        state.strangers.insert(key);
        events.push_back(event_of(EventKind::unexpected_server, *labels, record));
    }
    events.insert(events.end(), gone.begin(), gone.end());
    fold_stranger_events(events, first_stranger, record);
    return events;
}

const char* event_word(EventKind kind)
{
    switch (kind) {
        case EventKind::unexpected_server: return "unexpected-server";
        case EventKind::unexpected_server_gone: return "unexpected-server-gone";
        case EventKind::expected_server_silent: return "expected-server-silent";
        case EventKind::expected_server_back: return "expected-server-back";
        case EventKind::unexpected_servers_folded: return "unexpected-servers-folded";
    }
    return "unknown";
}

std::vector<std::pair<std::string, std::string>> event_environment(const ProbeEvent& event)
{
    std::vector<std::pair<std::string, std::string>> variables{
        {"ORVANE_EVENT", event_word(event.kind)},      {"ORVANE_FAMILY", event.labels.family},
        {"ORVANE_INTERFACE", event.labels.interface},  {"ORVANE_VLAN", event.labels.vlan},
        {"ORVANE_SERVER", event.labels.server},        {"ORVANE_RELAY", event.labels.relay},
        {"ORVANE_EXPECTED", event.labels.expected},    {"ORVANE_ROUND", std::to_string(event.round)},
        {"ORVANE_TIME", utc_time_text(event.unix_ms)}, {"ORVANE_STATUS", std::to_string(event.status)}};
    if (event.kind != EventKind::unexpected_servers_folded) return variables;
    variables.emplace_back("ORVANE_FOLDED", std::to_string(event.folded));
    variables.emplace_back("ORVANE_SERVERS", names_text(event.folded_servers, " ", kMaxServersVariable));
    variables.emplace_back("ORVANE_GONE", names_text(event.folded_gone, " ", kMaxServersVariable));
    return variables;
}

std::string event_json(const ProbeEvent& event)
{
    const ServerLabels& l = event.labels;
    nlohmann::ordered_json object{{"type", "event"},          {"event", event_word(event.kind)},
                                  {"round", event.round},     {"time", utc_time_text(event.unix_ms)},
                                  {"status", event.status},   {"family", l.family},
                                  {"interface", l.interface}, {"vlan", l.vlan},
                                  {"server", l.server},       {"relay", l.relay},
                                  {"expected", l.expected}};
    if (event.kind == EventKind::unexpected_servers_folded) {
        object["folded"] = event.folded;
        object["servers"] = event.folded_servers;
        object["gone"] = event.folded_gone;
    }
    // Names come off the network: bytes that are no UTF-8 are replaced, never thrown over.
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string event_line(const ProbeEvent& event)
{
    const ServerLabels& l = event.labels;
    if (event.kind == EventKind::unexpected_servers_folded)
        return std::string("orvane-probe: event ") + event_word(event.kind) +
               " folded=" + std::to_string(event.folded) +
               " servers=" + terminal_text(names_text(event.folded_servers, ",")) +
               " gone=" + terminal_text(names_text(event.folded_gone, ",")) + " round=" + std::to_string(event.round) +
               " time=" + utc_time_text(event.unix_ms);
    return std::string("orvane-probe: event ") + event_word(event.kind) + " server=" + l.server +
           " family=" + l.family + " interface=" + terminal_text(l.interface) + " vlan=" + terminal_text(l.vlan) +
           " relay=" + l.relay + " expected=" + l.expected + " round=" + std::to_string(event.round) +
           " time=" + utc_time_text(event.unix_ms);
}
