// The report block the window program writes for every datagram, line by line.
#include "protocol/report_lines.h"

#include <cstdio>

namespace {

void format_address_line(ReportText& text, const char* format, const Ipv4Address& address)
{
    std::snprintf(text.data(), text.size(), format, static_cast<int>(address[0]), static_cast<int>(address[1]),
                  static_cast<int>(address[2]), static_cast<int>(address[3]));
}

}  // namespace

ReportPlan plan_report(const ReplySummary& summary)
{
    ReportPlan plan;
    plan.lines[plan.count++] = ReportLine::packet_from;
    // Only the first octet decides whether an address is there: 0.1.2.3 counts as absent.
    if (summary.relay_address[0] != 0) plan.lines[plan.count++] = ReportLine::relayed_by;
    if (summary.offered_address[0] != 0) plan.lines[plan.count++] = ReportLine::offered_ip;
    plan.lines[plan.count++] = ReportLine::separator;
    return plan;
}

void format_report_line(ReportText& text, ReportLine line, const ReplySummary& summary)
{
    switch (line) {
        case ReportLine::packet_from:
            format_address_line(text, "Packet from %i.%i.%i.%i \r\n", summary.server_identifier);
            return;
        case ReportLine::relayed_by:
            format_address_line(text, " Relayed by %i.%i.%i.%i \r\n", summary.relay_address);
            return;
        case ReportLine::offered_ip:
            format_address_line(text, " Offered IP %i.%i.%i.%i \r\n", summary.offered_address);
            return;
        case ReportLine::separator:
            std::snprintf(text.data(), text.size(), "%s", "-------------------------\r\n");
            return;
    }
}
