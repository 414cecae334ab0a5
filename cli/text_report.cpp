// The probe's own lines of the text report.
#include "cli/text_report.h"

#include <cstdio>

#include "cli/console_output.h"
#include "net/network.h"

namespace {

std::string counted(int n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The names, the first few of a long list and how many more, so that a verdict stays one readable line.
std::string joined(const std::vector<std::string>& names)
{
    constexpr std::size_t kShown = 16;
    std::string text;
    for (std::size_t k = 0; k < names.size() && k < kShown; ++k) text += (text.empty() ? "" : ", ") + names[k];
    if (names.size() > kShown) text += " and " + std::to_string(names.size() - kShown) + " more";
    return text;
}

std::string lan_address_text(const LanAddress& server, bool vlans)
{
    return vlans ? lan_text(server.vlan) + "/" + address_text(server.address) : address_text(server.address);
}

std::vector<std::string> unexpected_names(const Verdict& verdict)
{
    std::vector<std::string> names;
    for (const LanAddress& server : verdict.unexpected) names.push_back(lan_address_text(server, verdict.vlans));
    return names;
}

std::vector<std::string> silent_names(const Verdict& verdict)
{
    std::vector<std::string> names;
    for (const ExpectedServer& server : verdict.silent) names.push_back(expected_text(server, verdict.vlans));
    return names;
}

std::string path_text(const ServerRecord& server, const ServerPath& path)
{
    std::string text = path.interface.empty() ? "" : terminal_text(path.interface) + " ";
    const bool relayed = !is_zero_address(path.relay);
    text += relayed ? "relay " + address_text(path.relay) : "direct";
    // Say where the datagram came from only when that is not what the path already names.
    const Ipv4Address& usual = relayed ? path.relay : server.key;
    if (path.source != usual) text += " from " + address_text(path.source);
    if (path.captured) text += ethernet_text(path.ethernet, path.vendor);
    return text;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian), valid for every int64 day count in use.
void civil_from_days(std::int64_t days, int& year, int& month, int& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t of_era = days - era * 146097;
    const std::int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
    const std::int64_t day_of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t mp = (5 * day_of_year + 2) / 153;
    day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

std::string concerns_text(const std::vector<ServerConcern>& concerns)
{
    constexpr std::size_t kShown = 8;
    std::string text = "replies carry concerns:";
    for (std::size_t k = 0; k < concerns.size() && k < kShown; ++k) {
        const LanAddress& server = concerns[k].server;
        text += (k == 0 ? " " : ", ") + (server.vlan == kUntaggedLan ? std::string() : lan_text(server.vlan) + "/") +
                address_text(server.address);
        for (const std::string& word : concern_words(concerns[k].concerns)) text += " " + word;
    }
    if (concerns.size() > kShown) text += " and " + std::to_string(concerns.size() - kShown) + " more";
    return text;
}

namespace {

std::string message_text(const ReplyRecord& reply)
{
    if (!reply.fields.has_message_type) return "none";
    const char* name = message_type_name(reply.fields.message_type);
    return name != nullptr ? name : std::to_string(reply.fields.message_type);
}

}  // namespace

std::string utc_time_text(std::int64_t unix_ms)
{
    std::int64_t days = unix_ms / 86400000;
    std::int64_t rest = unix_ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        days -= 1;
    }
    int year, month, day;
    civil_from_days(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", year, month, day,
                  static_cast<int>(rest / 3600000), static_cast<int>(rest / 60000 % 60),
                  static_cast<int>(rest / 1000 % 60), static_cast<int>(rest % 1000));
    return text;
}

std::string ethernet_text(const HardwareAddress& ethernet, const std::string& vendor)
{
    std::string text = " Ethernet " + hardware_address_text(ethernet);
    // The locally administered bit says no registry assignment applies, whatever an old one seems to say.
    if ((ethernet[0] & 0x02) != 0) return text + " (locally administered)";
    return vendor.empty() ? text : text + " (" + terminal_text(vendor) + ")";
}

std::string flags_line(const ReplyFlags& flags)
{
    std::string line;
    for (const std::string& word : flag_words(flags)) line += " " + word;
    return line.empty() ? line : " Flags" + line;
}

std::vector<std::string> extra_block_lines(const ReplyRecord& reply, const ReplyFlags& flags)
{
    std::vector<std::string> lines;
    if (!reply.interface.empty()) lines.push_back(" Interface " + terminal_text(reply.interface));
    lines.push_back(" Source " + address_text(reply.source.address) + ":" + std::to_string(reply.source.port));
    if (reply.captured) {
        if (reply.vlan != kUntaggedLan) lines.push_back(" VLAN " + std::to_string(reply.vlan));
        lines.push_back(ethernet_text(reply.ethernet, reply.vendor));
    }
    lines.push_back(" Message " + message_text(reply));
    if (reply.truncated)
        lines.push_back(reply.datagram_length >= 0
                            ? " Longer than 548 bytes (" + std::to_string(reply.datagram_length) +
                                  "): only its first 548 were read, and it was not logged"
                            : " Longer than 548 bytes: only its first 548 were read, and it was not logged");
    const std::string flagged = flags_line(flags);
    if (!flagged.empty()) lines.push_back(flagged);
    return lines;
}

std::string server_summary_line(const ServerRecord& server, bool expectations, bool vlans)
{
    std::string line = "Server " + address_text(server.key);
    if (vlans) line += server.vlan == kUntaggedLan ? " untagged" : " on VLAN " + lan_text(server.vlan);
    if (expectations) line += server.unexpected_replies > 0 ? " unexpected" : " expected";
    line += ": " + counted(server.replies, "reply", "replies") + ", " + counted(server.offers, "offer", "offers") +
            ", " + counted(server.rounds, "round", "rounds") + ", first " + utc_time_text(server.first_unix_ms) +
            ", last " + utc_time_text(server.last_unix_ms) + ", through ";
    for (std::size_t k = 0; k < server.paths.size(); ++k)
        line += (k == 0 ? "" : ", ") + path_text(server, server.paths[k]);
    return line;
}

std::string silent_server_line(const ExpectedServer& server, bool vlans)
{
    std::string line = "Server " + expected_text(server, false);
    if (vlans) line += server.vlan == kUntaggedLan ? " untagged" : " on VLAN " + lan_text(server.vlan);
    return line + " expected: silent";
}

std::vector<std::string> summary_lines(const Tally& tally, const Verdict& verdict, bool expectations)
{
    std::vector<std::string> lines;
    for (const ServerRecord& server : tally.servers)
        lines.push_back(server_summary_line(server, expectations, verdict.vlans));
    for (const ExpectedServer& server : verdict.silent) lines.push_back(silent_server_line(server, verdict.vlans));
    return lines;
}

std::string verdict_text(const Verdict& verdict, bool expectations)
{
    if (verdict.status == kExitCritical) {
        if (verdict.nothing_answered) return "nothing answered";
        std::vector<std::string> findings;
        if (verdict.over_limit > 0)
            findings.push_back("more than " + std::to_string(kMaxServers) + " servers answered; " +
                               counted(verdict.over_limit, "answer", "answers") + " over the limit");
        if (!verdict.unexpected.empty())
            findings.push_back("unexpected server answered: " + joined(unexpected_names(verdict)));
        if (!verdict.silent_lans.empty()) {
            std::vector<std::string> lans;
            for (const std::uint16_t lan : verdict.silent_lans) lans.push_back(lan_text(lan));
            findings.push_back("nothing answered on VLAN " + joined(lans));
        }
        if (!verdict.silent.empty()) findings.push_back("expected server silent: " + joined(silent_names(verdict)));
        std::string text;
        for (const std::string& finding : findings) text += (text.empty() ? "" : "; ") + finding;
        return text;
    }
    std::string text;
    if (verdict.ended_early)
        text = "every expected server answered; servers answering later were not waited for (--quick)";
    else if (expectations)
        text = "every reply came from an expected server";
    else
        text = "something answered; no server was named with --expect";
    if (verdict.status == kExitConcern && !verdict.concerns.empty()) text += "; " + concerns_text(verdict.concerns);
    if (verdict.status == kExitDropped && verdict.kernel_drops > 0) text += "; " + drops_text(verdict.kernel_drops);
    return text;
}

std::string drops_text(long long drops)
{
    return std::to_string(drops) + (drops == 1 ? " datagram" : " datagrams") +
           " dropped by the kernel; any of them may have been a rogue's";
}

std::string verdict_line(const Verdict& verdict, bool expectations)
{
    return "Verdict " + std::to_string(verdict.status) + ": " + verdict_text(verdict, expectations);
}

std::string round_line(int round, std::int64_t unix_ms, const Tally& tally, const Verdict* verdict, bool expectations)
{
    const std::string heard = counted(tally.replies, "reply", "replies") + " from " +
                              counted(static_cast<int>(tally.servers.size()), "server", "servers");
    if (verdict == nullptr)
        return "Round " + std::to_string(round) + " cut short " + utc_time_text(unix_ms) + ": " + heard +
               "; not judged: the probe was stopped before the round's wait was over";
    return "Round " + std::to_string(round) + " ended " + utc_time_text(unix_ms) + ": " + heard + "; " +
           verdict_line(*verdict, expectations);
}

std::vector<std::string> lan_verdict_lines(const Tally& tally, const std::vector<ExpectedServer>& expected,
                                           const std::vector<std::uint16_t>& lans)
{
    std::vector<std::string> lines;
    for (const std::uint16_t lan : lans) {
        Verdict verdict = judge_tally(tally, expected, {lan});
        verdict.vlans = true;
        lines.push_back("VLAN " + lan_text(lan) + ": " + verdict_line(verdict, !expected.empty()));
    }
    return lines;
}

std::vector<std::string> no_reply_lines(const NoReplyFacts& facts)
{
    std::vector<std::string> lines{"No reply. What the probe found:"};
    std::string ports =
        facts.captured ? " Capture: no UDP port bound; packet sockets " : " Ports: UDP 67 and 68 bound ";
    if (facts.bound_on.empty()) {
        ports += "on every interface";
    } else {
        ports += "on";
        for (std::size_t k = 0; k < facts.bound_on.size(); ++k)
            ports += (k == 0 ? " " : ", ") + terminal_text(facts.bound_on[k]);
    }
    lines.push_back(ports);
    std::string requests = " Requests: " + std::to_string(facts.requests_sent) + " sent";
    if (facts.requests_failed > 0)
        requests += ", " + std::to_string(facts.requests_failed) + " failed: " + network_error_text(facts.send_error);
    lines.push_back(requests);
    for (const RouteFinding& finding : facts.routes) {
        std::string line =
            " Broadcast" + (finding.device.empty() ? std::string() : " on " + terminal_text(finding.device)) + ": ";
        if (!finding.route.found)
            line += "no route for 255.255.255.255: " + network_error_text(finding.route.error_code);
        else if (!finding.leaves_via.empty())
            line +=
                "leaves through " + terminal_text(finding.leaves_via) + " from " + address_text(finding.route.source);
        else
            line += "leaves from " + address_text(finding.route.source) + ", which no interface holds";
        lines.push_back(line);
    }
    if (!facts.interfaces_known) {
        lines.push_back(" IPv4: the interfaces could not be listed");
    } else if (facts.addresses.empty()) {
        lines.push_back(" IPv4: the host has no IPv4 address apart from loopback");
    } else {
        std::string line = " IPv4:";
        for (std::size_t k = 0; k < facts.addresses.size(); ++k)
            line += (k == 0 ? " " : ", ") + terminal_text(facts.addresses[k].first) + " " +
                    address_text(facts.addresses[k].second.address) + "/" +
                    std::to_string(facts.addresses[k].second.prefix_length);
        lines.push_back(line);
    }
    if (facts.port68_sockets < 0) {
        lines.push_back(" Port 68: this platform cannot tell whether another program holds it");
    } else {
        const int others = facts.port68_sockets - facts.port68_ours;
        lines.push_back(others <= 0 ? " Port 68: no other program holds it"
                                    : " Port 68: " + counted(others, "other socket holds", "other sockets hold") +
                                          " it too, commonly a DHCP client on this host");
    }
    return lines;
}

std::vector<std::string> intake_lines(const Tally& tally, const IntakeRecord& intake)
{
    std::vector<std::string> lines;
    if (tally.not_dhcp > 0)
        lines.push_back("Not DHCP: " + counted(tally.not_dhcp, "datagram", "datagrams") +
                        " answered no request of this probe (no BOOTREPLY with its transaction id)");
    if (intake.log_on && intake.not_logged > 0)
        lines.push_back("Not logged: " + counted(intake.not_logged, "reply", "replies"));
    if (intake.captured) {
        std::string frames;
        for (std::size_t k = 1; k < kFrameOutcomeCount; ++k)
            if (intake.frames.by_outcome[k] > 0)
                frames += (frames.empty() ? " " : ", ") +
                          std::string(frame_outcome_name(static_cast<FrameOutcome>(k))) + " " +
                          std::to_string(intake.frames.by_outcome[k]);
        if (!frames.empty()) lines.push_back("Frames not taken as replies:" + frames);
        if (intake.frames.ip_options > 0)
            lines.push_back("IP options: " + std::to_string(intake.frames.ip_options) +
                            (intake.frames.ip_options == 1 ? " datagram" : " datagrams") +
                            " carried them (read all the same)");
        if (intake.requests_seen > 0)
            lines.push_back("Requests seen: " + std::to_string(intake.requests_seen) +
                            " to port 67 from other clients or relays, not replies");
        std::string others;
        for (std::size_t k = 1; k < kNotOursCount; ++k)
            if (intake.not_ours[k] > 0)
                others += (others.empty() ? " " : ", ") + std::string(not_ours_name(static_cast<NotOurs>(k))) + " " +
                          std::to_string(intake.not_ours[k]);
        if (!others.empty()) lines.push_back("Replies for others, not counted:" + others);
    }
    if (intake.kernel_drops > 0)
        lines.push_back("Dropped: " + std::to_string(intake.kernel_drops) +
                        (intake.kernel_drops == 1 ? " datagram" : " datagrams") +
                        " dropped by the kernel before the probe could read them");
    return lines;
}
