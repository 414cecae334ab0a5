// The receiver thread's body and the report lines it writes for every datagram.
#pragma once

#include "common/app_state.h"

enum class ReportLine { packet_from, relayed_by, offered_ip, separator };

// The lines a summary gives, in report order: "Packet from" always, "Relayed by" and
// "Offered IP" only when the address's first octet is not 0, the separator always.
struct ReportPlan {
    ReportLine lines[4];
    int count = 0;
};
ReportPlan plan_report(const ReplySummary& summary);

// Formats one report line, ending in "\r\n", into text. Pure.
void format_report_line(ReportText& text, ReportLine line, const ReplySummary& summary);

// Until stop_flag is set: receive a reply, count it, show the count and append its block of
// report lines through the output operations of discovery/report_output.h. A failed receive
// (also the one that stop_network breaks off) is counted and reported like any other.
void receiver_loop();
