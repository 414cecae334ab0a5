// One run of the probe after start-up: rounds of requests, the replies, the report and the verdict.
#include "cli/probe_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/capture_round.h"
#include "cli/console_output.h"
#include "cli/ipv6_records.h"
#include "cli/ipv6_report.h"
#include "cli/ipv6_round.h"
#include "cli/json_report.h"
#include "cli/nagios_report.h"
#include "cli/reply_flags.h"
#include "cli/text_report.h"
#include "cli/verdict.h"
#include "common/wrapping_count.h"
#include "net/device_endpoints.h"
#include "net/network.h"
#include "net/reply_intake.h"

namespace {

// Set from a signal handler (on Windows from the runtime's own thread), so lock-free.
static_assert(std::atomic<int>::is_always_lock_free);

// The longest a wait may block before the stop request is looked at again.
constexpr int kLongestWaitMs = 200;

bool is_json(const ProbeSession& session)
{
    return session.options.format == OutputFormat::json;
}

// --format nagios prints its status line at the end and nothing before it.
bool is_nagios(const ProbeSession& session)
{
    return session.options.format == OutputFormat::nagios;
}

// --output events: no reply and no count of its own, a line per round, the events and the failures.
bool is_quiet(const ProbeSession& session)
{
    return session.options.output == OutputDetail::events;
}

// Not one request left: the run saw nothing of the LAN, which no verdict may claim to judge.
bool nothing_sent(const ProbeSession& session)
{
    return session.options.ipv4 && session.sends.sent == 0 && session.sends.failed > 0;
}

std::string nothing_sent_text(const ProbeSession& session)
{
    return "no request could be sent (0 sent, " + std::to_string(session.sends.failed) +
           " failed: " + network_error_text(session.sends.last_error) + ")";
}

// Standard output is gone: said once on stderr, and from here on everything goes there.
void note_output_failure(ProbeSession& session, int error)
{
    session.output_failed = true;
    print_line(stderr, std::string("orvane-probe: the report cannot be written to standard output: ") +
                           std::strerror(error) + "; ending the run");
}

// One line to stream; a line for stdout goes to stderr once stdout has failed, so the summary still
// reaches someone. Stderr's own failures cannot be reported anywhere and are let be.
void emit(ProbeSession& session, std::FILE* stream, const std::string& line)
{
    if (stream == stdout && !session.output_failed) {
        errno = 0;
        if (print_line(stdout, line)) return;
        note_output_failure(session, errno != 0 ? errno : EIO);
    }
    print_line(stderr, line);
}

// The probe's own text goes to stdout beside the blocks only when an option asked for more than the
// window program's report; otherwise stdout stays that report's lines (CRLF turned into LF), and the rest
// goes to stderr.
std::FILE* own_text_stream(const ProbeSession& session)
{
    return session.options.extended_text ? stdout : stderr;
}

std::int64_t unix_ms_now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void emit_report_line(ProbeSession& session)
{
    if (!session.output_failed) {
        errno = 0;
        if (print_report_line(session.report_text.data())) return;
        note_output_failure(session, errno != 0 ? errno : EIO);
    }
    char line[kReportTextSize];
    console_line_text(session.report_text.data(), line, sizeof line);
    std::fputs(line, stderr);
}

// The window program's block for the current reply summary, with the probe's lines before the separator.
void report_block(ProbeSession& session, const ReplyRecord& reply, const ReplyFlags& flags)
{
    print_received_count(session.received_count);
    const std::vector<std::string> extra =
        session.options.extended_text ? extra_block_lines(reply, flags) : std::vector<std::string>{};
    const ReportPlan plan = plan_report(session.reply_summary);
    for (int k = 0; k < plan.count; ++k) {
        if (plan.lines[k] == ReportLine::separator)
            for (const std::string& line : extra) emit(session, stdout, line);
        format_report_line(session.report_text, plan.lines[k], session.reply_summary);
        emit_report_line(session);
    }
    if (!session.options.extended_text) {
        const std::string flagged = flags_line(flags);
        if (!flagged.empty()) print_line(stderr, flagged);
    }
}

// What became of the datagram in the raw log: counted when it missed, and said on stderr when the log
// turns unwritable and when it is written again, not for every datagram in between.
void note_log_outcome(ProbeSession& session)
{
    if (session.log.path == nullptr) return;
    const LogOutcome& outcome = session.log.last;
    const std::string path = terminal_text(session.log.path);
    if (outcome.result == LogResult::written) {
        if (session.log_failing) print_line(stderr, "orvane-probe: the raw log " + path + " is written again");
        session.log_failing = false;
        return;
    }
    session.intake.not_logged += 1;
    // A datagram too long for the log says so in its block; a halted log said so when it halted.
    if (outcome.result == LogResult::off || outcome.result == LogResult::halted) return;
    if (outcome.result == LogResult::left_half) {
        print_line(stderr, "orvane-probe: a record could not be written whole to the raw log " + path + " (" +
                               log_outcome_text(outcome) +
                               ") nor removed again; nothing more is appended to it in this run");
    } else if (!session.log_failing) {
        print_line(stderr, "orvane-probe: the raw log " + path + " cannot be written (" + log_outcome_text(outcome) +
                               "); replies are still reported");
    }
    session.log_failing = true;
}

// --quick: every server and router named for the families of the run has answered in this round, and at least
// one is named.
bool quick_satisfied(const ProbeSession& session)
{
    const ProbeOptions& options = session.options;
    const bool named4 = !options.expected.empty();
    const bool named6 = expects_servers(options.expected6) || expects_routers(options.expected6);
    if (!named4 && !named6) return false;
    if (named4 && !every_expected_answered(session.this_round, options.expected)) return false;
    return !named6 || every_ipv6_expected_answered(session.round6, options.expected6);
}

// The exit status of both families: IPv4's verdict when -4 runs, IPv6's when -6 runs, the graver of the two.
int overall_status(const ProbeSession& session, const Verdict& verdict4, const Ipv6Verdict& verdict6)
{
    int status = session.options.ipv4 ? verdict4.status : kExitOk;
    if (session.options.ipv6) status = std::max(status, verdict6.status);
    return status;
}

// "Verdict 2: IPv4: ...; IPv6: ...": one verdict with each family's findings.
std::string overall_verdict_line(const ProbeSession& session, const Verdict& verdict4, const Ipv6Verdict& verdict6)
{
    if (!session.options.ipv6) return verdict_line(verdict4, !session.options.expected.empty());
    std::string text = "Verdict " + std::to_string(overall_status(session, verdict4, verdict6)) + ": ";
    if (session.options.ipv4) text += "IPv4: " + verdict_text(verdict4, !session.options.expected.empty()) + "; ";
    return text + "IPv6: " + ipv6_verdict_text(verdict6, session.options.expected6);
}

// The IPv6 verdict of a tally, with --quick's early end said as for IPv4.
Ipv6Verdict judge_ipv6_of(const ProbeSession& session, const Ipv6Tally& tally)
{
    Ipv6Verdict verdict = judge_ipv6(tally, session.options.expected6);
    verdict.ended_early = session.ended_early;
    return verdict;
}

// The verdict handed to the round's records: IPv4's, carrying the status of both families.
Verdict record_verdict(const ProbeSession& session, const Tally& tally, const Ipv6Tally& tally6)
{
    Verdict verdict = judge_tally(tally, session.options.expected, session.options.lans);
    if (!session.options.ipv4) {
        verdict = Verdict{};
        verdict.nothing_answered = false;
    }
    if (session.options.ipv6) verdict.status = overall_status(session, verdict, judge_ipv6_of(session, tally6));
    return verdict;
}

}  // namespace

void print_session_line(ProbeSession& session, const std::string& line)
{
    emit(session, stdout, line);
}

void note_kernel_drops(ProbeSession& session, std::size_t index, long long drops)
{
    if (drops < 0 || index >= session.drops.size()) return;
    session.drops[index] = drops;
    long long total = 0;
    for (const long long count : session.drops) total += std::max(count, 0LL);
    // What is new since the last count goes to the round open now, which it may have hidden a rogue from.
    const long long added = total - std::max(session.intake.kernel_drops, 0LL);
    if (added > 0) {
        session.run.kernel_drops += added;
        session.this_round.kernel_drops += added;
    }
    session.intake.kernel_drops = total;
}

bool stop_requested(const ProbeSession& session)
{
    return session.stop_request != nullptr && session.stop_request->load() != 0;
}

bool run_cut_short(const ProbeSession& session)
{
    return stop_requested(session) || session.output_failed;
}

void begin_session(ProbeSession& session, const ProbeOptions& options, const std::vector<ProbeSocket>& sockets,
                   const std::atomic<int>* stop_request, const std::vector<Ipv6Socket>& sockets6)
{
    session = ProbeSession{};
    session.options = options;
    session.sockets = sockets;
    session.sockets6 = sockets6;
    session.stop_request = stop_request;
    session.started = std::chrono::steady_clock::now();
    session.log.path = options.no_log ? nullptr : session.options.log_path.c_str();
    session.intake.log_on = session.log.path != nullptr;
    // An endpoint that reports drops has dropped none until a count says otherwise.
    for (const ProbeSocket& socket : sockets) session.drops.push_back(socket.reports_drops ? 0 : -1);
    if (std::any_of(sockets.begin(), sockets.end(), [](const ProbeSocket& s) { return s.reports_drops; }))
        session.intake.kernel_drops = 0;
    session.intake.captured = options.capture;
}

void start_round(ProbeSession& session)
{
    session.round += 1;
    session.round_started = std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
    session.this_round = Tally{};
}

bool send_round(ProbeSession& session)
{
    PacerClock::time_point ready = PacerClock::time_point::min();
    for (const ProbeSocket& socket : session.sockets)
        for (const std::uint16_t lan :
             socket.captured ? session.options.lans : std::vector<std::uint16_t>{kUntaggedLan})
            ready = std::max(ready, next_send_allowed(session.pacer, pacer_key(socket.device, lan)));
    for (const Ipv6Socket& socket : session.sockets6)
        ready = std::max(ready, next_send_allowed(session.pacer, ipv6_pacer_key(socket.device)));
    if (PacerClock::now() < ready) listen_until(session, ready, false);
    if (run_cut_short(session)) return false;
    start_round(session);
    for (const ProbeSocket& socket : session.sockets) {
        if (socket.captured) {
            send_captured_requests(session, socket);
            if (run_cut_short(session)) break;
            continue;
        }
        // Whatever the caller's schedule, no interface gets two DISCOVERs closer than the pacer allows.
        const PacerClock::time_point allowed = next_send_allowed(session.pacer, socket.device);
        if (PacerClock::now() < allowed) listen_until(session, allowed, false);
        if (run_cut_short(session)) break;
        fill_discovery_request(session.request, socket.hardware_address);
        const int sent = send_datagram(socket.request, session.request.data(), session.request.size(),
                                       kLimitedBroadcast, kDhcpServerPort);
        note_send(session.pacer, socket.device, PacerClock::now());
        if (sent < 0) {
            session.sends.failed += 1;
            session.sends.last_error = last_network_error();
            print_line(stderr, "orvane-probe: the request was not sent" +
                                   (socket.device.empty() ? std::string() : " on " + terminal_text(socket.device)) +
                                   ": " + network_error_text(session.sends.last_error));
            continue;
        }
        session.sends.sent += 1;
        session.sent_count = next_count(session.sent_count);
        if (session.options.format == OutputFormat::text && !is_quiet(session))
            print_line(stderr, "Packets Sent: " + std::to_string(static_cast<std::uint32_t>(session.sent_count)));
    }
    if (session.options.ipv6 && !run_cut_short(session)) send_ipv6_requests(session);
    return true;
}

bool listen_until(ProbeSession& session, std::chrono::steady_clock::time_point deadline, bool quick)
{
    std::vector<Endpoint> endpoints;
    for (const ProbeSocket& socket : session.sockets) endpoints.push_back(socket.reply);
    add_ipv6_endpoints(session, endpoints);
    while (!run_cut_short(session)) {
        tend_round_watch(session.watch);
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
        const int ready = wait_for_datagram(endpoints.data(), endpoints.size(),
                                            static_cast<int>(std::min<std::int64_t>(left, kLongestWaitMs)));
        if (ready == -2) {
            print_line(stderr, "orvane-probe: waiting for replies failed: " + network_error_text(last_network_error()));
            return false;
        }
        if (ready < 0) continue;
        const auto index = static_cast<std::size_t>(ready);
        if (index < session.sockets.size())
            take_datagram(session, index);
        else
            take_ipv6_datagram(session, index - session.sockets.size());
        if (quick && quick_satisfied(session)) return true;
    }
    return false;
}

void take_datagram(ProbeSession& session, std::size_t index)
{
    const ProbeSocket& socket = session.sockets[index];
    if (socket.captured) {
        take_captured_replies(session, index);
        return;
    }
    Arrival arrived;
    int length = take_reply(socket.reply, session.log, session.reply_buffer, session.reply_summary, &arrived);
    // As the window program does: a datagram cut short is not logged, yet reported from what the buffer
    // holds; the report's walk goes over the whole buffer, the probe's own only over what came.
    if (length < 0 && arrived.truncated) length = static_cast<int>(session.reply_buffer.size());
    if (length < 0) {
        print_line(stderr, "orvane-probe: a receive failed: " + network_error_text(last_network_error()));
        return;
    }
    note_kernel_drops(session, index, arrived.kernel_drops);

    ReplyRecord reply;
    reply.interface = socket.device.empty() ? std::string(arrived.interface_name) : socket.device;
    reply.source = arrived.source;
    reply.length = static_cast<std::size_t>(length);
    reply.truncated = arrived.truncated;
    reply.datagram_length = arrived.datagram_length;
    handle_reply(session, reply);
}

void handle_reply(ProbeSession& session, ReplyRecord& reply)
{
    session.received_count = next_count(session.received_count);
    note_log_outcome(session);
    reply.unix_ms = unix_ms_now();
    reply.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
    reply.round = session.round;
    reply.fields = decode_reply_fields(session.reply_buffer.data(), reply.length);
    reply.answers = answers_request(reply.fields, kTransactionId);

    const std::vector<ExpectedServer>& expected = session.options.expected;
    tally_reply(session.run, reply, expected);
    tally_reply(session.this_round, reply, expected);
    // The link and the paths are judged by the round the reply came in: a rogue heard hours ago says nothing of
    // this round's replies. A server's Ethernet address and the tally's limit hold for the whole run.
    ReplyFlags flags = judge_reply(reply, session.this_round, expected);
    const ReplyFlags over_run = judge_reply(reply, session.run, expected);
    flags.ethernet_changed = over_run.ethernet_changed;
    flags.over_limit = over_run.over_limit;
    if (is_quiet(session)) return;
    if (is_json(session))
        emit(session, stdout, reply_json(reply, flags, expected));
    else if (!is_nagios(session))
        report_block(session, reply, flags);
}

void report_round(ProbeSession& session)
{
    if (session.round == session.reported_round) return;
    session.reported_round = session.round;
    const std::vector<ExpectedServer>& expected = session.options.expected;
    const std::vector<std::uint16_t>& lans = session.options.lans;
    Verdict verdict = judge_tally(session.this_round, expected, lans);
    Ipv6Verdict verdict6 = judge_ipv6(session.round6, session.options.expected6);
    // Stopped before its wait was over: its servers are listed, but a silence or a verdict would claim too much.
    const bool cut_short = run_cut_short(session);
    if (cut_short) {
        verdict.silent.clear();
        verdict6.silent_servers.clear();
        verdict6.silent_routers.clear();
    }
    if (is_json(session)) {
        std::string line = round_json(session.round, unix_ms_now(), session.this_round, cut_short ? nullptr : &verdict,
                                      expected, lans);
        if (session.options.ipv6)
            line = merge_ipv6_summary(line, ipv6_summary_json(session.round6, verdict6, session.options.expected6),
                                      overall_status(session, verdict, verdict6), session.options.ipv4);
        emit(session, stdout, line);
        return;
    }
    std::FILE* stream = own_text_stream(session);
    if (session.options.ipv4) {
        emit(session, stream,
             round_line(session.round, unix_ms_now(), session.this_round, cut_short ? nullptr : &verdict,
                        !expected.empty()));
        if (!is_quiet(session))
            for (const std::string& line : summary_lines(session.this_round, verdict, !expected.empty()))
                emit(session, stream, " " + line);
        if (session.options.vlans_given && !cut_short && !is_quiet(session))
            for (const std::string& line : lan_verdict_lines(session.this_round, expected, lans))
                emit(session, stream, " " + line);
    }
    if (session.options.ipv6) {
        emit(session, stream,
             "Round " + std::to_string(session.round) + (cut_short ? " cut short " : " ended ") +
                 utc_time_text(unix_ms_now()) + " (IPv6): " + std::to_string(session.round6.servers.size()) +
                 " DHCPv6 servers, " + std::to_string(session.round6.routers.size()) + " routers; " +
                 (cut_short ? "not judged: the probe was stopped before the round's wait was over"
                            : overall_verdict_line(session, verdict, verdict6)));
        if (is_quiet(session)) return;
        for (const std::string& line : ipv6_summary_lines(session.round6, verdict6, session.options.expected6))
            emit(session, stream, " " + line);
    }
}

void end_round(ProbeSession& session)
{
    if (session.round == 0 || session.round == session.ended_round) return;
    session.ended_round = session.round;
    if (session.options.monitor) report_round(session);
    // A round cut short is no round: its silent servers may simply not have had the time to answer.
    if (run_cut_short(session)) return;
    // The rings' drops since their last frame belong to this round too.
    for (std::size_t k = 0; k < session.sockets.size(); ++k)
        if (session.sockets[k].captured && update_capture_counts(session.sockets[k].capture))
            note_kernel_drops(session, k, session.sockets[k].capture.kernel_drops);
    const std::vector<ExpectedServer>& expected = session.options.expected;
    Verdict verdict = record_verdict(session, session.this_round, session.round6);
    verdict.ended_early = session.ended_early;
    RoundFacts facts;
    facts.round = session.round;
    facts.unix_ms = unix_ms_now();
    facts.started_elapsed = session.round_started;
    facts.ended_elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
    facts.interval_seconds = round_interval(session.options);
    facts.probe_interface = session.options.interface;
    facts.intake = &session.intake;
    RoundRecord record = make_round_record(facts, session.this_round, verdict, expected);
    if (session.options.ipv6) {
        add_ipv6_records(record, session.round6, judge_ipv6_of(session, session.round6), session.options.expected6,
                         session.round_started, session.options.interface);
        if (session.run6.kernel_drops >= 0)
            record.kernel_drops = std::max(record.kernel_drops, 0LL) + session.run6.kernel_drops;
        if (session.options.capture) {
            record.captured = true;
            record.frames_rejected.emplace_back("other-vlan", session.run6.other_vlan);
        }
    }
    for (const ProbeEvent& event : watch_round(session.watch, record))
        if (is_json(session)) emit(session, stdout, event_json(event));
}

int finish_session(ProbeSession& session)
{
    close_round_watch(session.watch);
    const std::vector<ExpectedServer>& expected = session.options.expected;
    const std::vector<std::uint16_t>& lans = session.options.lans;
    const bool ipv4 = session.options.ipv4;
    const bool ipv6 = session.options.ipv6;
    Verdict verdict = judge_tally(session.run, expected, lans);
    verdict.ended_early = session.ended_early;
    const Ipv6Verdict verdict6 = judge_ipv6_of(session, session.run6);
    const bool unsent = nothing_sent(session);
    const int status = unsent ? kExitUnknown : overall_status(session, verdict, verdict6);
    NoReplyFacts facts;
    const bool silent_run = ipv4 && verdict.nothing_answered;
    if (silent_run) {
        std::vector<std::string> devices;
        for (const ProbeSocket& socket : session.sockets) devices.push_back(socket.device);
        facts = gather_no_reply_facts(devices, session.sends);
        facts.captured = session.options.capture;
        if (facts.captured) facts.port68_ours = 0;  // a capture holds no port
    }
    if (is_nagios(session)) {
        double first_reply = -1.0;
        for (const ServerRecord& server : session.run.servers)
            if (first_reply < 0.0 || server.first_elapsed < first_reply) first_reply = server.first_elapsed;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
        std::vector<std::string> lines;
        if (ipv4) lines = nagios_lines(session.run, verdict, !expected.empty(), session.intake, first_reply, elapsed);
        if (ipv6) {
            const std::string line6 = nagios_ipv6_status_line(status, overall_verdict_line(session, verdict, verdict6),
                                                              session.run6, verdict6, elapsed);
            if (lines.empty())
                lines.push_back(line6);
            else
                lines.front() =
                    line6.substr(0, line6.rfind(" verdict=")) + " " + lines.front().substr(lines.front().find('|') + 2);
            for (const std::string& line : ipv6_summary_lines(session.run6, verdict6, session.options.expected6))
                lines.push_back(line);
        }
        if (unsent) lines.front() = nagios_unknown_line(nothing_sent_text(session));
        for (const std::string& line : lines) emit(session, stdout, line);
    } else if (is_json(session)) {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
        std::string line = summary_json(unix_ms_now(), elapsed, session.sends, session.intake, session.round,
                                        session.run, verdict, expected, silent_run ? &facts : nullptr, lans);
        if (ipv6)
            line = merge_ipv6_summary(line, ipv6_summary_json(session.run6, verdict6, session.options.expected6),
                                      status, ipv4);
        if (unsent) line = unknown_verdict_json(line, nothing_sent_text(session));
        emit(session, stdout, line);
    } else if (is_quiet(session)) {
        // The rounds said the rest; the run's whole verdict closes it.
        emit(session, own_text_stream(session),
             unsent ? "Verdict 3: " + nothing_sent_text(session) : overall_verdict_line(session, verdict, verdict6));
    } else {
        std::FILE* stream = own_text_stream(session);
        if (ipv4) {
            for (const std::string& line : summary_lines(session.run, verdict, !expected.empty()))
                emit(session, stream, line);
            for (const std::string& line : intake_lines(session.run, session.intake)) emit(session, stream, line);
            if (session.options.vlans_given)
                for (const std::string& line : lan_verdict_lines(session.run, expected, lans))
                    emit(session, stream, line);
        }
        if (ipv6)
            for (const std::string& line : ipv6_summary_lines(session.run6, verdict6, session.options.expected6))
                emit(session, stream, line);
        emit(session, stream,
             unsent ? "Verdict 3: " + nothing_sent_text(session) : overall_verdict_line(session, verdict, verdict6));
        if (silent_run)
            for (const std::string& line : no_reply_lines(facts)) emit(session, stream, line);
    }
    if (session.output_failed) return kExitOutputFailure;
    // A monitor ends only when it is stopped: each round's status went to its line, events and metrics, and
    // a clean stop is no failure for the service manager to act on.
    return session.options.monitor ? kExitOk : status;
}
