// The receiver thread's body and the report lines it writes for every datagram.
#include "discovery/receiver_loop.h"

#include <cstdio>

#include "discovery/reply_decoder.h"
#include "discovery/report_output.h"

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

void receiver_loop()
{
    while (app_state.stop_flag.load() == 0) {
        // The result is not looked at: every return, failed or not, is a datagram to report.
        receive_reply(app_state.reply_endpoint);
        // Wraps instead of overflowing after 2^31 datagrams; the count is shown unsigned anyway.
        app_state.received_count = static_cast<std::int32_t>(static_cast<std::uint32_t>(app_state.received_count) + 1u);
        show_received_count(app_state.received_count);
        const ReportPlan plan = plan_report(app_state.reply_summary);
        for (int k = 0; k < plan.count; ++k) {
            format_report_line(app_state.report_text, plan.lines[k], app_state.reply_summary);
            append_report_line(app_state.report_text.data());
        }
    }
}
