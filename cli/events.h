// Events on change in --monitor: a stranger first heard, an expected server gone silent, and either
// recovering; each once, not every round. Pure: the state between rounds and the words and variables
// that carry an event (cli/event_command runs --on-change with them).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/round_record.h"

enum class EventKind {
    unexpected_server,       // a server not named with --expect answered, where it had not in the round before
    unexpected_server_gone,  // it did not answer in a round
    expected_server_silent,  // a server named with --expect did not answer, where it had (or at the start)
    expected_server_back,    // it answered again
    // Stranger events of one round past kMaxStrangerEvents, in one: how many, and which servers
    unexpected_servers_folded,
};

// Events are told apart by family, interface, VLAN and server; the relay and the rest ride along.
struct EventKey {
    std::string family, interface, vlan, server;
    auto operator<=>(const EventKey&) const = default;
};

struct ProbeEvent {
    EventKind kind = EventKind::unexpected_server;
    ServerLabels labels;
    int round = 0;
    std::int64_t unix_ms = 0;
    int status = 0;  // the round's verdict
    // unexpected_servers_folded: how many events were folded into it, and the servers of those that were
    // unexpected_server and unexpected_server_gone, at most kMaxFoldedNames of each.
    int folded = 0;
    std::vector<std::string> folded_servers, folded_gone;
};

// What the rounds so far left: the strangers answering now and the expected servers silent now. At the
// start every expected server counts as answering and no stranger as present.
struct EventState {
    std::set<EventKey> strangers;
    std::set<EventKey> silent;
};

// At most this many strangers are kept; a LAN that forges servers gets no more events past it.
inline constexpr std::size_t kMaxEventStrangers = 4096;

// A round shows and runs at most this many stranger events; the rest are folded into one more event, so that a
// LAN forging servers cannot bury the allow-list's events under its own.
inline constexpr std::size_t kMaxStrangerEvents = 15;
// The folded event names at most this many servers (its count says how many there were).
inline constexpr std::size_t kMaxFoldedNames = 4096;

// The events of a round against the state, which it moves on: the allow-list's (silent, back) first, then the
// strangers', at most kMaxStrangerEvents of them and one unexpected_servers_folded event for the rest. Every
// change of state is in them, so a later round never needs to say it again. Strangers are the servers heard
// with expected "false" (none without --expect). Pure.
std::vector<ProbeEvent> next_events(EventState& state, const RoundRecord& record);

// True for the allow-list's events, which are never folded, dropped, or queued behind strangers'.
bool allow_list_event(EventKind kind);

// "unexpected-server", "unexpected-server-gone", "expected-server-silent", "expected-server-back",
// "unexpected-servers-folded".
const char* event_word(EventKind kind);

// The stderr line: "orvane-probe: event unexpected-server server=192.0.2.66 family=ipv4 interface=eth0
// vlan= relay= expected=false round=12 time=2024-05-01T12:00:01.123Z", the interface shown escaped. A folded
// event says "folded=N servers=A,B gone=C" in place of the server and its labels.
std::string event_line(const ProbeEvent& event);

// --format json: the event as one line on standard output, {"type":"event","event":WORD,...} with the labels, the
// round, time and status, and for a folded event "folded", "servers" and "gone" (arrays of names).
std::string event_json(const ProbeEvent& event);

// ORVANE_EVENT, ORVANE_FAMILY, ORVANE_INTERFACE, ORVANE_VLAN, ORVANE_SERVER, ORVANE_RELAY,
// ORVANE_EXPECTED, ORVANE_ROUND, ORVANE_TIME and ORVANE_STATUS with their values, in that order; a folded event
// adds ORVANE_FOLDED (the count), ORVANE_SERVERS and ORVANE_GONE (the names, separated by spaces).
std::vector<std::pair<std::string, std::string>> event_environment(const ProbeEvent& event);
