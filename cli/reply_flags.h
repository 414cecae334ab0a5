// The probe's flags on a reply: what a plain report of the offer would not show.
#pragma once

#include <string>
#include <vector>

#include "cli/server_tally.h"

struct ReplyFlags {
    bool unexpected_server = false;  // --expect named servers and this is none of them
    bool not_offer = false;          // message type other than OFFER, or none at all
    bool no_server_identifier = false;
    bool identifier_differs_from_source = false;  // a direct reply sent from another address
    bool several_paths = false;                   // its server answered through another relay or interface too
    bool several_servers_on_link = false;         // another server offered on the same interface
    RelayNetwork relay_network = RelayNetwork::not_relayed;
    bool not_dhcp = false;    // answers no request of this probe: no BOOTREPLY, cookie or transaction id
    bool over_limit = false;  // an answer from a server beyond the tally's limit, not tallied
    // Captured: its server identifier came the same way (interface, relay) from another Ethernet source before.
    bool ethernet_changed = false;
};

// Judges a reply against the tally that already holds it. Pure.
ReplyFlags judge_reply(const ReplyRecord& reply, const Tally& tally, const std::vector<ExpectedServer>& expected);

// The flags as words for the text report, in a fixed order; empty when nothing is flagged.
std::vector<std::string> flag_words(const ReplyFlags& flags);

// The concern bits (kConcern...) as the same words, in the same order as flag_words.
std::vector<std::string> concern_words(unsigned concerns);
