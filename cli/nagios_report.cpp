// --format nagios: one status line with performance data, the servers as long output.
#include "cli/nagios_report.h"

#include <cstdio>

#include "cli/console_output.h"
#include "cli/lan_expectations.h"
#include "cli/text_report.h"

namespace {

// A plugin's status line is read by people on a dashboard: the first few findings, and how many more.
constexpr std::size_t kShownFindings = 3;

std::string seconds_value(double seconds)
{
    if (seconds < 0.0) return "U";
    char text[32];
    std::snprintf(text, sizeof text, "%.3fs", seconds);
    return text;
}

// 'label'=value[UOM];[warn];[crit];[min];[max], with the thresholds and bounds left empty.
std::string perf(const char* label, const std::string& value)
{
    return std::string(label) + "=" + value + ";;;;";
}

std::string findings_text(const std::vector<std::string>& findings)
{
    std::string text;
    for (std::size_t k = 0; k < findings.size() && k < kShownFindings; ++k) text += (k == 0 ? "" : ", ") + findings[k];
    if (findings.size() > kShownFindings) text += " and " + std::to_string(findings.size() - kShownFindings) + " more";
    return text;
}

std::string summary_text(const Tally& tally, const Verdict& verdict, bool expectations)
{
    if (verdict.status == kExitCritical) {
        if (verdict.nothing_answered)
            return verdict.not_dhcp > 0
                       ? "no DHCP server answered; " + std::to_string(verdict.not_dhcp) + " datagrams were not DHCP"
                       : "no DHCP server answered";
        std::vector<std::string> findings;
        if (verdict.over_limit > 0)
            findings.push_back("more than " + std::to_string(kMaxServers) + " servers answered");
        for (const LanAddress& lan : verdict.unexpected) {
            const ServerRecord* server = find_server(tally, lan.address, lan.vlan);
            const std::string name =
                verdict.vlans ? lan_text(lan.vlan) + "/" + address_text(lan.address) : address_text(lan.address);
            findings.push_back("unexpected server " + name +
                               (server != nullptr && server->offers > 0
                                    ? " offered " + address_text(server->first_offered)
                                    : std::string(" answered")));
        }
        for (const std::uint16_t lan : verdict.silent_lans)
            findings.push_back("nothing answered on VLAN " + lan_text(lan));
        for (const ExpectedServer& server : verdict.silent)
            findings.push_back("expected server " + expected_text(server, verdict.vlans) + " silent");
        return findings_text(findings);
    }
    const std::size_t count = tally.servers.size();
    std::string text = std::to_string(count) + (count == 1 ? " server answered" : " servers answered");
    if (verdict.ended_early)
        text = "every expected server answered; later servers were not waited for (--quick)";
    else if (expectations)
        text += count == 1 ? ", expected" : ", all expected";
    if (verdict.status == kExitConcern && !verdict.concerns.empty()) text += "; " + concerns_text(verdict.concerns);
    if (verdict.status == kExitDropped && verdict.kernel_drops > 0) text += "; " + drops_text(verdict.kernel_drops);
    return text;
}

}  // namespace

const char* plugin_status_word(int status)
{
    switch (status) {
        case kExitOk: return "OK";
        case kExitWarning: return "WARNING";
        case kExitCritical: return "CRITICAL";
        default: return "UNKNOWN";
    }
}

std::string nagios_status_line(const Tally& tally, const Verdict& verdict, bool expectations,
                               double first_reply_seconds, double verdict_seconds)
{
    return std::string("DHCP ") + plugin_status_word(verdict.status) + " - " +
           summary_text(tally, verdict, expectations) + " | " + perf("servers", std::to_string(tally.servers.size())) +
           " " + perf("unexpected", std::to_string(verdict.unexpected.size())) + " " +
           perf("missing", std::to_string(verdict.silent.size())) + " " +
           perf("first_reply", seconds_value(first_reply_seconds)) + " " +
           perf("verdict", seconds_value(verdict_seconds));
}

std::vector<std::string> nagios_lines(const Tally& tally, const Verdict& verdict, bool expectations,
                                      const IntakeRecord& intake, double first_reply_seconds, double verdict_seconds)
{
    std::vector<std::string> lines{
        nagios_status_line(tally, verdict, expectations, first_reply_seconds, verdict_seconds)};
    for (const std::string& line : summary_lines(tally, verdict, expectations)) lines.push_back(line);
    for (const std::string& line : intake_lines(tally, intake)) lines.push_back(line);
    return lines;
}

std::string nagios_unknown_line(const std::string& reason)
{
    // A '|' would start the performance data.
    std::string text = reason;
    for (char& c : text)
        if (c == '|') c = '/';
    return "DHCP UNKNOWN - " + text;
}
