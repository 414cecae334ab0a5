// The report block the window program writes for every datagram, line by line.
#pragma once

#include <array>
#include <cstddef>

#include "protocol/reply_walk.h"

inline constexpr std::size_t kReportTextSize = 100;
using ReportText = std::array<char, kReportTextSize>;

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
