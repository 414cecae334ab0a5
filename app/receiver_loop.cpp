// The receiver thread's body: every datagram counted and reported through the two output operations.
#include "app/receiver_loop.h"

#include "app/exchange.h"
#include "app/report_output.h"
#include "common/wrapping_count.h"
#include "protocol/report_lines.h"

void receiver_loop()
{
    while (app_state.stop_flag.load() == 0) {
        // The result is not looked at: every return, failed or not, is a datagram to report.
        receive_reply(app_state.reply_endpoint);
        // Wraps instead of overflowing after 2^31 datagrams; the count is shown unsigned anyway.
        app_state.received_count = next_count(app_state.received_count);
        show_received_count(app_state.received_count);
        const ReportPlan plan = plan_report(app_state.reply_summary);
        for (int k = 0; k < plan.count; ++k) {
            format_report_line(app_state.report_text, plan.lines[k], app_state.reply_summary);
            append_report_line(app_state.report_text.data());
        }
    }
}
